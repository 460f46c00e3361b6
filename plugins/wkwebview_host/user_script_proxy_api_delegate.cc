#include "plugins/wkwebview_host/user_script_proxy_api_delegate.h"

namespace wkwebview_host {

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
