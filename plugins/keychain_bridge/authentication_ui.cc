#include "plugins/keychain_bridge/authentication_ui.h"

#include "platform/security/sec_item_constants.h"

namespace keychain_bridge {

const std::string& AuthenticationUI::rawValue() const {
  switch (value_) {
    case allow:
      return kSecUseAuthenticationUIAllow;
    case fail:
      return kSecUseAuthenticationUIFail;
    case skip:
      break;
  }
  return kSecUseAuthenticationUISkip;
}

std::string AuthenticationUI::description() const {
  switch (value_) {
    case allow:
      return "allow";
    case fail:
      return "fail";
    case skip:
      break;
  }
  return "skip";
}

}  // namespace keychain_bridge
