#include "plugins/wkwebview_host/script_message_proxy_api_delegate.h"

#include "plugins/wkwebview_host/any_value_conversion.h"

namespace wkwebview_host {

std::string ScriptMessageProxyAPIDelegate::name(PigeonApiWKScriptMessage&,
                                                const WKScriptMessage& pigeonInstance) {
  return pigeonInstance.name();
}

// Written from the message's own body when it is sent, never copied: the message keeps it.
flutter::Value ScriptMessageProxyAPIDelegate::body(PigeonApiWKScriptMessage&,
                                                   const WKScriptMessage& pigeonInstance) {
  auto owner = pigeonInstance.self();
  if (!owner) return toPigeonValue(pigeonInstance.body());
  return streamedPigeonValue(
      std::shared_ptr<const AnyValue>(owner, &pigeonInstance.body()));
}

}  // namespace wkwebview_host
