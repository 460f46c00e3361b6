// Another host on the same keychain, for the two-host tests: it rewrites one sealed key again and
// again through the secure store, as that host's plug-in would, and exits 0 once every write was
// answered as done (2 on a failed write, 1 on bad usage).
//
// Usage: secure_store_peer <keychain directory> <key> <writes>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/security/testing/security_controls.h"
#include "plugins/secure_store_darwin/secure_store.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: secure_store_peer <keychain directory> <key> <writes>\n");
    return 1;
  }
  security::testing::setKeychainDirectory(std::string(argv[1]));
  secure_store_darwin::KeychainQueryParameters parameters;
  parameters.key = argv[2];
  parameters.useSecureEnclave = true;
  const int writes = std::atoi(argv[3]);
  secure_store_darwin::SecureStore store;
  for (int i = 0; i < writes; ++i) {
    auto written = store.writeItem(parameters, "peer" + std::to_string(i));
    if (written.status != errSecSuccess) {
      std::fprintf(stderr, "secure_store_peer: write %d answered %d\n", i, written.status);
      return 2;
    }
  }
  return 0;
}
