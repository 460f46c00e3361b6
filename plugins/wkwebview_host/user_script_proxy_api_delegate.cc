#include "plugins/wkwebview_host/user_script_proxy_api_delegate.h"

#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"

namespace wkwebview_host {

std::shared_ptr<WKUserScript> UserScriptProxyAPIDelegate::pigeonDefaultConstructor(
    PigeonApiWKUserScript&, const std::string& source, UserScriptInjectionTime injectionTime,
    bool isForMainFrameOnly) {
  WKUserScriptInjectionTime native_time;
  switch (injectionTime) {
    case UserScriptInjectionTime::atDocumentStart:
      native_time = WKUserScriptInjectionTimeAtDocumentStart;
      break;
    case UserScriptInjectionTime::atDocumentEnd:
      native_time = WKUserScriptInjectionTimeAtDocumentEnd;
      break;
    default:
      throw ProxyAPIRegistrar::createUnknownEnumError(injectionTime);
  }
  return makeObject<WKUserScript>(source, native_time, isForMainFrameOnly);
}

std::string UserScriptProxyAPIDelegate::source(PigeonApiWKUserScript&,
                                               const WKUserScript& pigeonInstance) {
  return pigeonInstance.source();
}

UserScriptInjectionTime UserScriptProxyAPIDelegate::injectionTime(
    PigeonApiWKUserScript&, const WKUserScript& pigeonInstance) {
  switch (pigeonInstance.injectionTime()) {
    case WKUserScriptInjectionTimeAtDocumentStart:
      return UserScriptInjectionTime::atDocumentStart;
    case WKUserScriptInjectionTimeAtDocumentEnd:
      return UserScriptInjectionTime::atDocumentEnd;
  }
  return UserScriptInjectionTime::unknown;
}

bool UserScriptProxyAPIDelegate::isForMainFrameOnly(PigeonApiWKUserScript&,
                                                    const WKUserScript& pigeonInstance) {
  return pigeonInstance.isForMainFrameOnly();
}

}  // namespace wkwebview_host
