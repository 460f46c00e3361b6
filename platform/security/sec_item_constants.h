// The keys and values of keychain dictionaries. Each value is distinct within its family.
#pragma once

#include <string>

// Item classes.
inline const std::string kSecClass = "class";
inline const std::string kSecClassGenericPassword = "generic-password";
inline const std::string kSecClassInternetPassword = "internet-password";
inline const std::string kSecClassKey = "key";

// Accessibility: when an item may be read.
inline const std::string kSecAttrAccessible = "accessible";
inline const std::string kSecAttrAccessibleWhenUnlocked = "accessible-when-unlocked";
inline const std::string kSecAttrAccessibleAfterFirstUnlock = "accessible-after-first-unlock";
inline const std::string kSecAttrAccessibleAlways = "accessible-always";
inline const std::string kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly =
    "accessible-when-passcode-set-this-device-only";
inline const std::string kSecAttrAccessibleWhenUnlockedThisDeviceOnly =
    "accessible-when-unlocked-this-device-only";
inline const std::string kSecAttrAccessibleAfterFirstUnlockThisDeviceOnly =
    "accessible-after-first-unlock-this-device-only";
inline const std::string kSecAttrAccessibleAlwaysThisDeviceOnly =
    "accessible-always-this-device-only";

// Item attributes.
inline const std::string kSecAttrAccessControl = "access-control";
inline const std::string kSecAttrAccessGroup = "access-group";
inline const std::string kSecAttrSynchronizable = "synchronizable";
inline const std::string kSecAttrCreationDate = "creation-date";
inline const std::string kSecAttrModificationDate = "modification-date";
inline const std::string kSecAttrDescription = "description";
inline const std::string kSecAttrComment = "comment";
inline const std::string kSecAttrCreator = "creator";
inline const std::string kSecAttrType = "type";
inline const std::string kSecAttrLabel = "label";
inline const std::string kSecAttrIsInvisible = "is-invisible";
inline const std::string kSecAttrIsNegative = "is-negative";
inline const std::string kSecAttrAccount = "account";
inline const std::string kSecAttrService = "service";
inline const std::string kSecAttrGeneric = "generic";
inline const std::string kSecAttrSecurityDomain = "security-domain";
inline const std::string kSecAttrServer = "server";
inline const std::string kSecAttrPort = "port";
inline const std::string kSecAttrPath = "path";
inline const std::string kSecAttrSynchronizableAny = "synchronizable-any";

// Internet protocols.
inline const std::string kSecAttrProtocol = "protocol";
inline const std::string kSecAttrProtocolFTP = "protocol-ftp";
inline const std::string kSecAttrProtocolFTPAccount = "protocol-ftpaccount";
inline const std::string kSecAttrProtocolHTTP = "protocol-http";
inline const std::string kSecAttrProtocolIRC = "protocol-irc";
inline const std::string kSecAttrProtocolNNTP = "protocol-nntp";
inline const std::string kSecAttrProtocolPOP3 = "protocol-pop3";
inline const std::string kSecAttrProtocolSMTP = "protocol-smtp";
inline const std::string kSecAttrProtocolSOCKS = "protocol-socks";
inline const std::string kSecAttrProtocolIMAP = "protocol-imap";
inline const std::string kSecAttrProtocolLDAP = "protocol-ldap";
inline const std::string kSecAttrProtocolAppleTalk = "protocol-appletalk";
inline const std::string kSecAttrProtocolAFP = "protocol-afp";
inline const std::string kSecAttrProtocolTelnet = "protocol-telnet";
inline const std::string kSecAttrProtocolSSH = "protocol-ssh";
inline const std::string kSecAttrProtocolFTPS = "protocol-ftps";
inline const std::string kSecAttrProtocolHTTPS = "protocol-https";
inline const std::string kSecAttrProtocolHTTPProxy = "protocol-httpproxy";
inline const std::string kSecAttrProtocolHTTPSProxy = "protocol-httpsproxy";
inline const std::string kSecAttrProtocolFTPProxy = "protocol-ftpproxy";
inline const std::string kSecAttrProtocolSMB = "protocol-smb";
inline const std::string kSecAttrProtocolRTSP = "protocol-rtsp";
inline const std::string kSecAttrProtocolRTSPProxy = "protocol-rtspproxy";
inline const std::string kSecAttrProtocolDAAP = "protocol-daap";
inline const std::string kSecAttrProtocolEPPC = "protocol-eppc";
inline const std::string kSecAttrProtocolIPP = "protocol-ipp";
inline const std::string kSecAttrProtocolNNTPS = "protocol-nntps";
inline const std::string kSecAttrProtocolLDAPS = "protocol-ldaps";
inline const std::string kSecAttrProtocolTelnetS = "protocol-telnets";
inline const std::string kSecAttrProtocolIMAPS = "protocol-imaps";
inline const std::string kSecAttrProtocolIRCS = "protocol-ircs";
inline const std::string kSecAttrProtocolPOP3S = "protocol-pop3s";

// Internet authentication types.
inline const std::string kSecAttrAuthenticationType = "authentication-type";
inline const std::string kSecAttrAuthenticationTypeNTLM = "authentication-type-ntlm";
inline const std::string kSecAttrAuthenticationTypeMSN = "authentication-type-msn";
inline const std::string kSecAttrAuthenticationTypeDPA = "authentication-type-dpa";
inline const std::string kSecAttrAuthenticationTypeRPA = "authentication-type-rpa";
inline const std::string kSecAttrAuthenticationTypeHTTPBasic = "authentication-type-httpbasic";
inline const std::string kSecAttrAuthenticationTypeHTTPDigest = "authentication-type-httpdigest";
inline const std::string kSecAttrAuthenticationTypeHTMLForm = "authentication-type-htmlform";
inline const std::string kSecAttrAuthenticationTypeDefault = "authentication-type-default";

// Key attributes.
inline const std::string kSecAttrKeyType = "key-type";
inline const std::string kSecAttrKeyTypeECSECPrimeRandom = "key-type-ec-secp-random";
inline const std::string kSecAttrKeySizeInBits = "key-size-in-bits";
inline const std::string kSecAttrKeyClass = "key-class";
inline const std::string kSecAttrKeyClassPrivate = "key-class-private";
inline const std::string kSecAttrKeyClassPublic = "key-class-public";
inline const std::string kSecAttrApplicationTag = "application-tag";
inline const std::string kSecAttrApplicationLabel = "application-label";
inline const std::string kSecAttrIsPermanent = "is-permanent";
inline const std::string kSecAttrTokenID = "token-id";
inline const std::string kSecAttrTokenIDSecureEnclave = "token-id-secure-enclave";
inline const std::string kSecPrivateKeyAttrs = "private-key-attributes";
inline const std::string kSecPublicKeyAttrs = "public-key-attributes";

// Search: how many items to answer.
inline const std::string kSecMatchLimit = "match-limit";
inline const std::string kSecMatchLimitOne = "match-limit-one";
inline const std::string kSecMatchLimitAll = "match-limit-all";

// What a search answers.
inline const std::string kSecReturnData = "return-data";
inline const std::string kSecReturnAttributes = "return-attributes";
inline const std::string kSecReturnRef = "return-ref";
inline const std::string kSecReturnPersistentRef = "return-persistent-ref";

// Item values.
inline const std::string kSecValueData = "value-data";
inline const std::string kSecValueRef = "value-ref";
inline const std::string kSecValuePersistentRef = "value-persistent-ref";

// How a call goes about its work.
inline const std::string kSecUseOperationPrompt = "use-operation-prompt";
inline const std::string kSecUseAuthenticationUI = "use-authentication-ui";
inline const std::string kSecUseAuthenticationUIAllow = "authentication-ui-allow";
inline const std::string kSecUseAuthenticationUIFail = "authentication-ui-fail";
inline const std::string kSecUseAuthenticationUISkip = "authentication-ui-skip";
inline const std::string kSecUseAuthenticationContext = "use-authentication-context";
inline const std::string kSecUseDataProtectionKeychain = "use-data-protection-keychain";
