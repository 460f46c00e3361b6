#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_web_view_configuration.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {

using Configuration = WKWebViewConfiguration;

std::vector<PigeonHostOperation> PigeonApiWKWebViewConfiguration::hostOperations() {
  using Api = PigeonApiWKWebViewConfiguration;
  return {
      operation("pigeon_defaultConstructor", &Api::pigeonDefaultConstructor),
      operation("setUserContentController", &Api::setUserContentController),
      operation("getUserContentController", &Api::getUserContentController),
      operation("setWebsiteDataStore", &Api::setWebsiteDataStore),
      operation("getWebsiteDataStore", &Api::getWebsiteDataStore),
      operation("setPreferences", &Api::setPreferences),
      operation("getPreferences", &Api::getPreferences),
      operation("setAllowsInlineMediaPlayback", &Api::setAllowsInlineMediaPlayback),
      operation("setLimitsNavigationsToAppBoundDomains",
                &Api::setLimitsNavigationsToAppBoundDomains),
      operation("setMediaTypesRequiringUserActionForPlayback",
                &Api::setMediaTypesRequiringUserActionForPlayback),
      operation("getDefaultWebpagePreferences", &Api::getDefaultWebpagePreferences),
  };
}

void PigeonApiWKWebViewConfiguration::pigeonDefaultConstructor(const PigeonArguments& arguments,
                                                               const PigeonHostReply& reply) {
  int64_t identifier = arguments.identifier(0);
  pigeonRegistrar().instanceManager()->registerDartObject(
      pigeon_delegate_->pigeonDefaultConstructor(*this), identifier);
  reply.success();
}

void PigeonApiWKWebViewConfiguration::setUserContentController(const PigeonArguments& arguments,
                                                               const PigeonHostReply& reply) {
  auto configuration = arguments.instance<Configuration>(0);
  pigeon_delegate_->setUserContentController(*this, *configuration,
                                             arguments.instance<WKUserContentController>(1));
  reply.success();
}

void PigeonApiWKWebViewConfiguration::getUserContentController(const PigeonArguments& arguments,
                                                               const PigeonHostReply& reply) {
  reply.success(objectValue(
      pigeon_delegate_->getUserContentController(*this, *arguments.instance<Configuration>(0))));
}

void PigeonApiWKWebViewConfiguration::setWebsiteDataStore(const PigeonArguments& arguments,
                                                          const PigeonHostReply& reply) {
  auto configuration = arguments.instance<Configuration>(0);
  pigeon_delegate_->setWebsiteDataStore(*this, *configuration,
                                        arguments.instance<WKWebsiteDataStore>(1));
  reply.success();
}

void PigeonApiWKWebViewConfiguration::getWebsiteDataStore(const PigeonArguments& arguments,
                                                          const PigeonHostReply& reply) {
  reply.success(objectValue(
      pigeon_delegate_->getWebsiteDataStore(*this, *arguments.instance<Configuration>(0))));
}

void PigeonApiWKWebViewConfiguration::setPreferences(const PigeonArguments& arguments,
                                                     const PigeonHostReply& reply) {
  auto configuration = arguments.instance<Configuration>(0);
  pigeon_delegate_->setPreferences(*this, *configuration, arguments.instance<WKPreferences>(1));
  reply.success();
}

void PigeonApiWKWebViewConfiguration::getPreferences(const PigeonArguments& arguments,
                                                     const PigeonHostReply& reply) {
  reply.success(
      objectValue(pigeon_delegate_->getPreferences(*this, *arguments.instance<Configuration>(0))));
}

void PigeonApiWKWebViewConfiguration::setAllowsInlineMediaPlayback(const PigeonArguments& arguments,
                                                                   const PigeonHostReply& reply) {
  auto configuration = arguments.instance<Configuration>(0);
  pigeon_delegate_->setAllowsInlineMediaPlayback(*this, *configuration, arguments.boolean(1));
  reply.success();
}

void PigeonApiWKWebViewConfiguration::setLimitsNavigationsToAppBoundDomains(
    const PigeonArguments& arguments, const PigeonHostReply& reply) {
  auto configuration = arguments.instance<Configuration>(0);
  pigeon_delegate_->setLimitsNavigationsToAppBoundDomains(*this, *configuration,
                                                          arguments.boolean(1));
  reply.success();
}

void PigeonApiWKWebViewConfiguration::setMediaTypesRequiringUserActionForPlayback(
    const PigeonArguments& arguments, const PigeonHostReply& reply) {
  auto configuration = arguments.instance<Configuration>(0);
  pigeon_delegate_->setMediaTypesRequiringUserActionForPlayback(
      *this, *configuration, arguments.enumeration<AudiovisualMediaType>(1));
  reply.success();
}

void PigeonApiWKWebViewConfiguration::getDefaultWebpagePreferences(const PigeonArguments& arguments,
                                                                   const PigeonHostReply& reply) {
  reply.success(objectValue(pigeon_delegate_->getDefaultWebpagePreferences(
      *this, *arguments.instance<Configuration>(0))));
}

}  // namespace wkwebview_host
