// The registrar of the web-view APIs: it owns the messenger, the instance manager, the codec of
// calls to the Dart side and the API delegate that makes one API object per wrapped class, and it
// installs (`setUp`) or removes (`tearDown`) the handlers of every host channel.
#pragma once

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/flutter/flutter_binary_messenger.h"
#include "platform/flutter/flutter_standard_codec.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_instance_manager.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_delegate.h"

namespace wkwebview_host {

class WebKitLibraryPigeonProxyApiRegistrar
    : public std::enable_shared_from_this<WebKitLibraryPigeonProxyApiRegistrar> {
 public:
  // Make it with std::make_shared: its codecs refer back to it weakly.
  WebKitLibraryPigeonProxyApiRegistrar(
      std::shared_ptr<FlutterBinaryMessenger> binaryMessenger,
      std::unique_ptr<WebKitLibraryPigeonProxyApiDelegate> apiDelegate);
  // Removes the handlers it installed, which refer to it.
  virtual ~WebKitLibraryPigeonProxyApiRegistrar();
  WebKitLibraryPigeonProxyApiRegistrar(const WebKitLibraryPigeonProxyApiRegistrar&) = delete;
  WebKitLibraryPigeonProxyApiRegistrar& operator=(const WebKitLibraryPigeonProxyApiRegistrar&) =
      delete;

  // While set, every call to the Dart side fails at once with the "ignore-calls-error".
  bool ignoreCallsToDart() const { return ignore_calls_to_dart_.load(); }
  void setIgnoreCallsToDart(bool ignore) { ignore_calls_to_dart_.store(ignore); }

  // The codec of calls to the Dart side: the proxy codec bound to this registrar, made on first
  // use.
  std::shared_ptr<const FlutterStandardMessageCodec> codec();

  const std::shared_ptr<FlutterBinaryMessenger>& binaryMessenger() const {
    return binary_messenger_;
  }
  WebKitLibraryPigeonProxyApiDelegate& apiDelegate() const { return *api_delegate_; }
  const std::shared_ptr<WebKitLibraryPigeonInstanceManager>& instanceManager() const {
    return instance_manager_;
  }

  // Installs the instance manager's handlers, then those of each API in definition order.
  void setUp();
  // Removes every handler that setUp installed, in the same order.
  void tearDown();

 private:
  std::shared_ptr<FlutterBinaryMessenger> binary_messenger_;
  std::unique_ptr<WebKitLibraryPigeonProxyApiDelegate> api_delegate_;
  std::shared_ptr<WebKitLibraryPigeonInstanceManager> instance_manager_;
  std::atomic<bool> ignore_calls_to_dart_{false};
  std::mutex codec_mutex_;
  std::shared_ptr<const FlutterStandardMessageCodec> codec_;
  std::vector<std::string> installed_channels_;
};

}  // namespace wkwebview_host
