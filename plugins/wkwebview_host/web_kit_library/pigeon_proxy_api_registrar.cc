#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

#include "plugins/wkwebview_host/web_kit_library/instance_manager_api_finalizer_delegate.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_host_operation.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_internal_proxy_api_codec_reader_writer.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_set_up_order.h"

namespace wkwebview_host {

WebKitLibraryPigeonProxyApiRegistrar::WebKitLibraryPigeonProxyApiRegistrar(
    std::shared_ptr<FlutterBinaryMessenger> binaryMessenger,
    std::unique_ptr<WebKitLibraryPigeonProxyApiDelegate> apiDelegate)
    : binary_messenger_(std::move(binaryMessenger)),
      api_delegate_(std::move(apiDelegate)),
      instance_manager_(std::make_shared<WebKitLibraryPigeonInstanceManager>(
          std::make_shared<InstanceManagerApiFinalizerDelegate>(
              std::make_unique<WebKitLibraryPigeonInstanceManagerApi>(binary_messenger_)))) {}

WebKitLibraryPigeonProxyApiRegistrar::~WebKitLibraryPigeonProxyApiRegistrar() { tearDown(); }

std::shared_ptr<const FlutterStandardMessageCodec> WebKitLibraryPigeonProxyApiRegistrar::codec() {
  std::lock_guard lock(codec_mutex_);
  if (!codec_) {
    codec_ = std::make_shared<FlutterStandardMessageCodec>(
        std::make_shared<WebKitLibraryPigeonInternalProxyApiCodecReaderWriter>(weak_from_this()));
  }
  return codec_;
}

void WebKitLibraryPigeonProxyApiRegistrar::setUp() {
  WebKitLibraryPigeonInstanceManagerApi::setUpMessageHandlers(binary_messenger_, instance_manager_);
  installed_channels_ = {WebKitLibraryPigeonInstanceManagerApi::kRemoveStrongReferenceChannel,
                         WebKitLibraryPigeonInstanceManagerApi::kClearChannel};
  for (const auto& makeApi : kProxyApiSetUpOrder) {
    std::shared_ptr<PigeonProxyApi> api = makeApi(*api_delegate_, *this);
    for (auto& channel : PigeonProxyApi::setUpMessageHandlers(binary_messenger_, api)) {
      installed_channels_.push_back(std::move(channel));
    }
  }
}

void WebKitLibraryPigeonProxyApiRegistrar::tearDown() {
  for (const auto& channel : installed_channels_) removeHostOperation(binary_messenger_, channel);
  installed_channels_.clear();
}

}  // namespace wkwebview_host
