#include "platform/webkit/wk_web_view_configuration.h"

WKWebViewConfiguration::WKWebViewConfiguration()
    : user_content_controller_(makeObject<WKUserContentController>()),
      website_data_store_(WKWebsiteDataStore::defaultDataStore()),
      preferences_(makeObject<WKPreferences>()),
      default_webpage_preferences_(makeObject<WKWebpagePreferences>()) {}

std::shared_ptr<WKWebViewConfiguration> WKWebViewConfiguration::copy() const {
  auto copied = makeObject<WKWebViewConfiguration>();
  copied->user_content_controller_ = user_content_controller_;
  copied->website_data_store_ = website_data_store_;
  copied->preferences_ = preferences_;
  copied->default_webpage_preferences_ = default_webpage_preferences_;
  copied->limits_navigations_to_app_bound_domains_ = limits_navigations_to_app_bound_domains_;
  copied->media_types_requiring_user_action_for_playback_ =
      media_types_requiring_user_action_for_playback_;
  return copied;
}

std::shared_ptr<WKUserContentController> WKWebViewConfiguration::userContentController() const {
  return user_content_controller_;
}

// A configuration always has each of its parts, so setting none keeps the current one.
void WKWebViewConfiguration::setUserContentController(
    std::shared_ptr<WKUserContentController> controller) {
  if (controller) user_content_controller_ = std::move(controller);
}

std::shared_ptr<WKWebsiteDataStore> WKWebViewConfiguration::websiteDataStore() const {
  return website_data_store_;
}

void WKWebViewConfiguration::setWebsiteDataStore(std::shared_ptr<WKWebsiteDataStore> store) {
  if (store) website_data_store_ = std::move(store);
}

std::shared_ptr<WKPreferences> WKWebViewConfiguration::preferences() const { return preferences_; }

void WKWebViewConfiguration::setPreferences(std::shared_ptr<WKPreferences> preferences) {
  if (preferences) preferences_ = std::move(preferences);
}

std::shared_ptr<WKWebpagePreferences> WKWebViewConfiguration::defaultWebpagePreferences() const {
  return default_webpage_preferences_;
}
