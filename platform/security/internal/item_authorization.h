// Whether a search may answer the data of an item protected by an access control that asks
// for the user (presence, biometry, passcode, watch or application password). One session
// serves one call, so that a single approval covers every item the call reads.
#pragma once

#include <memory>

#include "platform/localauthentication/la_context.h"
#include "platform/security/internal/keychain_item.h"
#include "platform/security/internal/keychain_query.h"
#include "platform/security/sec_base.h"

namespace security::internal {

class ItemAuthorization {
 public:
  enum class Outcome { granted, skipped, failed };

  explicit ItemAuthorization(const ItemQuery& query) : query_(query) {}

  // On failed, `status` says why (user cancelled, interaction not allowed, failed).
  Outcome authorizeDataRead(const KeychainItem& item, OSStatus* status);

 private:
  bool evaluateWithoutInteraction(LAPolicy policy);

  const ItemQuery& query_;
  std::shared_ptr<LAContext> own_context_;
  bool approved_ = false;
};

}  // namespace security::internal
