// The settings a web view is created with: its user content controller, website data store,
// preferences and default webpage preferences.
#pragma once

#include <memory>

#include "platform/webkit/wk_preferences.h"
#include "platform/webkit/wk_user_content_controller.h"
#include "platform/webkit/wk_webpage_preferences.h"
#include "platform/webkit/wk_website_data_store.h"

class WKWebViewConfiguration : public foundation::NSObject {
 public:
  WKWebViewConfiguration();

  std::shared_ptr<WKUserContentController> userContentController() const;
  void setUserContentController(std::shared_ptr<WKUserContentController> controller);
  std::shared_ptr<WKWebsiteDataStore> websiteDataStore() const;
  void setWebsiteDataStore(std::shared_ptr<WKWebsiteDataStore> store);
  std::shared_ptr<WKPreferences> preferences() const;
  void setPreferences(std::shared_ptr<WKPreferences> preferences);
  std::shared_ptr<WKWebpagePreferences> defaultWebpagePreferences() const;
  void setDefaultWebpagePreferences(std::shared_ptr<WKWebpagePreferences> preferences);

 private:
  std::shared_ptr<WKUserContentController> user_content_controller_;
  std::shared_ptr<WKWebsiteDataStore> website_data_store_;
  std::shared_ptr<WKPreferences> preferences_;
  std::shared_ptr<WKWebpagePreferences> default_webpage_preferences_;
};
