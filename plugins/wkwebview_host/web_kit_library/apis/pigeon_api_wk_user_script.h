// The API "WKUserScript": user scripts, announced to the Dart side with `source`, `injectionTime`,
// `isForMainFrameOnly`.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/webkit/wk_user_script.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host {

class PigeonApiWKUserScript;

// Makes user scripts and reads the announced fields of one.
class PigeonApiDelegateWKUserScript {
 public:
  virtual ~PigeonApiDelegateWKUserScript() = default;
  virtual std::shared_ptr<WKUserScript> pigeonDefaultConstructor(
      PigeonApiWKUserScript& api, const std::string& source, UserScriptInjectionTime injectionTime,
      bool isForMainFrameOnly) = 0;
  virtual std::string source(PigeonApiWKUserScript& api, const WKUserScript& pigeonInstance) = 0;
  virtual UserScriptInjectionTime injectionTime(PigeonApiWKUserScript& api,
                                                const WKUserScript& pigeonInstance) = 0;
  virtual bool isForMainFrameOnly(PigeonApiWKUserScript& api,
                                  const WKUserScript& pigeonInstance) = 0;
};

class PigeonApiWKUserScript final : public PigeonProxyApi {
 public:
  static constexpr const char* kName = "WKUserScript";

  PigeonApiWKUserScript(WebKitLibraryPigeonProxyApiRegistrar& registrar,
                        std::unique_ptr<PigeonApiDelegateWKUserScript> delegate)
      : PigeonProxyApi(registrar, kName), pigeon_delegate_(std::move(delegate)) {}

  PigeonApiDelegateWKUserScript& pigeonDelegate() const { return *pigeon_delegate_; }
  std::vector<PigeonHostOperation> hostOperations() override {
    return {
        operation("pigeon_defaultConstructor", &PigeonApiWKUserScript::pigeonDefaultConstructor)};
  }

  void pigeon_newInstance(const std::shared_ptr<WKUserScript>& pigeonInstance,
                          const PigeonCompletion& completion);

 private:
  void pigeonDefaultConstructor(const PigeonArguments& arguments, const PigeonHostReply& reply);

  std::unique_ptr<PigeonApiDelegateWKUserScript> pigeon_delegate_;
};

}  // namespace wkwebview_host
