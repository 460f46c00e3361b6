#include "plugins/wkwebview_host/script_message_proxy_api_delegate.h"

#include "plugins/wkwebview_host/any_value_conversion.h"

namespace wkwebview_host {

std::string ScriptMessageProxyAPIDelegate::name(PigeonApiWKScriptMessage&,
                                                const WKScriptMessage& pigeonInstance) {
  return pigeonInstance.name();
}

flutter::Value ScriptMessageProxyAPIDelegate::body(PigeonApiWKScriptMessage&,
                                                   const WKScriptMessage& pigeonInstance) {
  return toPigeonValue(pigeonInstance.body());
}

}  // namespace wkwebview_host
