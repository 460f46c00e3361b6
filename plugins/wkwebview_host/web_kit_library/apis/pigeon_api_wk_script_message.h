// The API "WKScriptMessage": messages posted by page scripts, announced to the Dart side with
// `name`, `body`.
#pragma once

#include <memory>
#include <string>

#include "platform/webkit/wk_script_message.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKScriptMessage;

// Reads the announced fields of an object.
class PigeonApiDelegateWKScriptMessage {
 public:
  virtual ~PigeonApiDelegateWKScriptMessage() = default;
  virtual std::string name(PigeonApiWKScriptMessage& api,
                           const WKScriptMessage& pigeonInstance) = 0;
  virtual flutter::Value body(PigeonApiWKScriptMessage& api,
                              const WKScriptMessage& pigeonInstance) = 0;
};

class PigeonApiWKScriptMessage final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKScriptMessage";

  PigeonApiWKScriptMessage(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                           std::unique_ptr<PigeonApiDelegateWKScriptMessage> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKScriptMessage& pigeonDelegate() const { return *pigeon_delegate_; }

  void pigeon_newInstance(const std::shared_ptr<WKScriptMessage>& pigeonInstance,
                          const PigeonCompletion& completion);

 private:
  std::unique_ptr<PigeonApiDelegateWKScriptMessage> pigeon_delegate_;
};

}  // namespace wkwebview_host
