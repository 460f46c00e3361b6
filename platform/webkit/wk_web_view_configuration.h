// The settings a web view is created with: its user content controller, website data store,
// preferences, default webpage preferences and media and navigation limits.
#pragma once

#include <cstdint>
#include <memory>

#include "platform/webkit/wk_preferences.h"
#include "platform/webkit/wk_user_content_controller.h"
#include "platform/webkit/wk_webpage_preferences.h"
#include "platform/webkit/wk_website_data_store.h"

// The media whose playback needs a user's gesture; a bit set.
enum WKAudiovisualMediaTypes : uint64_t {
  WKAudiovisualMediaTypeNone = 0,
  WKAudiovisualMediaTypeAudio = 1 << 0,
  WKAudiovisualMediaTypeVideo = 1 << 1,
  WKAudiovisualMediaTypeAll = UINT64_MAX,
};

class WKWebViewConfiguration : public NSObject {
 public:
  // A new controller, preferences and webpage preferences; the process's default data store.
  WKWebViewConfiguration();

  // A new configuration sharing this one's parts and holding its settings.
  std::shared_ptr<WKWebViewConfiguration> copy() const;

  std::shared_ptr<WKUserContentController> userContentController() const;
  void setUserContentController(std::shared_ptr<WKUserContentController> controller);
  std::shared_ptr<WKWebsiteDataStore> websiteDataStore() const;
  void setWebsiteDataStore(std::shared_ptr<WKWebsiteDataStore> store);
  std::shared_ptr<WKPreferences> preferences() const;
  void setPreferences(std::shared_ptr<WKPreferences> preferences);
  std::shared_ptr<WKWebpagePreferences> defaultWebpagePreferences() const;
  bool limitsNavigationsToAppBoundDomains() const {
    return limits_navigations_to_app_bound_domains_;
  }
  void setLimitsNavigationsToAppBoundDomains(bool limit) {
    limits_navigations_to_app_bound_domains_ = limit;
  }
  WKAudiovisualMediaTypes mediaTypesRequiringUserActionForPlayback() const {
    return media_types_requiring_user_action_for_playback_;
  }
  void setMediaTypesRequiringUserActionForPlayback(WKAudiovisualMediaTypes types) {
    media_types_requiring_user_action_for_playback_ = types;
  }

 private:
  std::shared_ptr<WKUserContentController> user_content_controller_;
  std::shared_ptr<WKWebsiteDataStore> website_data_store_;
  std::shared_ptr<WKPreferences> preferences_;
  std::shared_ptr<WKWebpagePreferences> default_webpage_preferences_;
  bool limits_navigations_to_app_bound_domains_ = false;
  WKAudiovisualMediaTypes media_types_requiring_user_action_for_playback_ =
      WKAudiovisualMediaTypeAll;
};
