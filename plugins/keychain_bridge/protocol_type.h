// The protocol of an internet-password item.
#pragma once

#include "plugins/keychain_bridge/raw_value_enumeration.h"

namespace keychain_bridge {

struct ProtocolTypeCases {
  enum Case {
    ftp,
    ftpAccount,
    http,
    irc,
    nntp,
    pop3,
    smtp,
    socks,
    imap,
    ldap,
    appleTalk,
    afp,
    telnet,
    ssh,
    ftps,
    https,
    httpProxy,
    httpsProxy,
    ftpProxy,
    smb,
    rtsp,
    rtspProxy,
    daap,
    eppc,
    ipp,
    nntps,
    ldaps,
    telnetS,
    imaps,
    ircs,
    pop3S,
  };
  static std::span<const RawValueRow> rows();
};

using ProtocolType = RawValueEnumeration<ProtocolTypeCases>;

}  // namespace keychain_bridge
