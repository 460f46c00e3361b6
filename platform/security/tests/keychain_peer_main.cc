// Another host on the same keychain, for the tests of hosts that share one: it waits for a byte
// on standard input (so that several start at the same moment), adds one generic password to the
// keychain in <directory>, prints the status and exits 0 when it is errSecSuccess.
//
// Usage: keychain_peer <directory> <account>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "platform/security/security.h"
#include "platform/security/testing/security_controls.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: keychain_peer <directory> <account>\n");
    return 2;
  }
  security::testing::setKeychainDirectory(std::string(argv[1]));
  char start = 0;
  if (::read(STDIN_FILENO, &start, 1) < 0) return 2;
  const std::string account = argv[2];
  OSStatus status = SecItemAdd({{kSecClass, kSecClassGenericPassword},
                                {kSecAttrAccount, account},
                                {kSecValueData, CFBytes(account.begin(), account.end())}},
                               nullptr);
  std::printf("%d\n", static_cast<int>(status));
  return status == errSecSuccess ? 0 : 1;
}
