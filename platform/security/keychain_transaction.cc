#include "platform/security/keychain_transaction.h"

#include <algorithm>

#include "platform/security/internal/keychain_store.h"

namespace security {
namespace {

thread_local std::optional<std::chrono::steady_clock::time_point> wait_deadline;

}  // namespace

KeychainWaitDeadline::KeychainWaitDeadline(std::chrono::steady_clock::time_point deadline)
    : previous_(wait_deadline) {
  wait_deadline = previous_ ? std::min(*previous_, deadline) : deadline;
}

KeychainWaitDeadline::~KeychainWaitDeadline() { wait_deadline = previous_; }

std::optional<std::chrono::steady_clock::time_point> KeychainWaitDeadline::current() {
  return wait_deadline;
}

OSStatus performKeychainTransaction(const std::function<OSStatus()>& body) {
  return internal::KeychainStore::shared().transact(
      [&](internal::KeychainTransaction& /*transaction*/) { return body(); });
}

}  // namespace security
