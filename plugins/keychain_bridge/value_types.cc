// The constant and description tables of the raw-value enumerations, in case order.
#include "platform/security/sec_item_constants.h"
#include "plugins/keychain_bridge/accessibility.h"
#include "plugins/keychain_bridge/authentication_type.h"
#include "plugins/keychain_bridge/item_class.h"
#include "plugins/keychain_bridge/protocol_type.h"

namespace keychain_bridge {

std::span<const RawValueRow> ItemClassCases::rows() {
  static const RawValueRow table[] = {
      {&kSecClassGenericPassword, "GenericPassword"},
      {&kSecClassInternetPassword, "InternetPassword"},
  };
  return table;
}

std::span<const RawValueRow> ProtocolTypeCases::rows() {
  static const RawValueRow table[] = {
      {&kSecAttrProtocolFTP, "FTP"},
      {&kSecAttrProtocolFTPAccount, "FTPAccount"},
      {&kSecAttrProtocolHTTP, "HTTP"},
      {&kSecAttrProtocolIRC, "IRC"},
      {&kSecAttrProtocolNNTP, "NNTP"},
      {&kSecAttrProtocolPOP3, "POP3"},
      {&kSecAttrProtocolSMTP, "SMTP"},
      {&kSecAttrProtocolSOCKS, "SOCKS"},
      {&kSecAttrProtocolIMAP, "IMAP"},
      {&kSecAttrProtocolLDAP, "LDAP"},
      {&kSecAttrProtocolAppleTalk, "AppleTalk"},
      {&kSecAttrProtocolAFP, "AFP"},
      {&kSecAttrProtocolTelnet, "Telnet"},
      {&kSecAttrProtocolSSH, "SSH"},
      {&kSecAttrProtocolFTPS, "FTPS"},
      {&kSecAttrProtocolHTTPS, "HTTPS"},
      {&kSecAttrProtocolHTTPProxy, "HTTPProxy"},
      {&kSecAttrProtocolHTTPSProxy, "HTTPSProxy"},
      {&kSecAttrProtocolFTPProxy, "FTPProxy"},
      {&kSecAttrProtocolSMB, "SMB"},
      {&kSecAttrProtocolRTSP, "RTSP"},
      {&kSecAttrProtocolRTSPProxy, "RTSPProxy"},
      {&kSecAttrProtocolDAAP, "DAAP"},
      {&kSecAttrProtocolEPPC, "EPPC"},
      {&kSecAttrProtocolIPP, "IPP"},
      {&kSecAttrProtocolNNTPS, "NNTPS"},
      {&kSecAttrProtocolLDAPS, "LDAPS"},
      {&kSecAttrProtocolTelnetS, "TelnetS"},
      {&kSecAttrProtocolIMAPS, "IMAPS"},
      {&kSecAttrProtocolIRCS, "IRCS"},
      {&kSecAttrProtocolPOP3S, "POP3S"},
  };
  return table;
}

std::span<const RawValueRow> AuthenticationTypeCases::rows() {
  static const RawValueRow table[] = {
      {&kSecAttrAuthenticationTypeNTLM, "NTLM"},
      {&kSecAttrAuthenticationTypeMSN, "MSN"},
      {&kSecAttrAuthenticationTypeDPA, "DPA"},
      {&kSecAttrAuthenticationTypeRPA, "RPA"},
      {&kSecAttrAuthenticationTypeHTTPBasic, "HTTPBasic"},
      {&kSecAttrAuthenticationTypeHTTPDigest, "HTTPDigest"},
      {&kSecAttrAuthenticationTypeHTMLForm, "HTMLForm"},
      {&kSecAttrAuthenticationTypeDefault, "Default"},
  };
  return table;
}

std::span<const RawValueRow> AccessibilityCases::rows() {
  static const RawValueRow table[] = {
      {&kSecAttrAccessibleWhenUnlocked, "WhenUnlocked"},
      {&kSecAttrAccessibleAfterFirstUnlock, "AfterFirstUnlock"},
      {&kSecAttrAccessibleAlways, "Always"},
      {&kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly, "WhenPasscodeSetThisDeviceOnly"},
      {&kSecAttrAccessibleWhenUnlockedThisDeviceOnly, "WhenUnlockedThisDeviceOnly"},
      {&kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly, "AfterFirstUnlockThisDeviceOnly"},
      {&kSecAttrAccessibleAlwaysThisDeviceOnly, "AlwaysThisDeviceOnly"},
  };
  return table;
}

}  // namespace keychain_bridge
