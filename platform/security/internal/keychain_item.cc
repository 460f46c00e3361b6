#include "platform/security/internal/keychain_item.h"

#include <openssl/crypto.h>

namespace security::internal {

KeychainItem::~KeychainItem() {
  if (data) OPENSSL_cleanse(data->data(), data->size());
}

}  // namespace security::internal
