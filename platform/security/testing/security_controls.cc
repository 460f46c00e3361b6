#include "platform/security/testing/security_controls.h"

#include "platform/security/internal/keychain_store.h"

namespace security::testing {

using internal::KeychainStore;
using internal::SecurityState;

void setKeychainDirectory(std::optional<std::string> directory) {
  KeychainStore::shared().setDirectory(std::move(directory));
}

std::string keychainFilePath() { return KeychainStore::shared().databasePath(); }

void closeKeychain() { KeychainStore::shared().close(); }

void failNextCall(SecFunction function, OSStatus status, int skip) {
  SecurityState::shared().failCall(function, status, skip);
}

void setCallRecording(bool recording) { SecurityState::shared().setRecording(recording); }

std::vector<RecordedCall> recordedCalls(SecFunction function) {
  return SecurityState::shared().calls(function);
}

std::optional<RecordedCall> lastCall(SecFunction function) {
  auto calls = recordedCalls(function);
  if (calls.empty()) return std::nullopt;
  return calls.back();
}

void setHardwareTokenAvailable(bool available) {
  SecurityState::shared().setHardwareTokenAvailable(available);
}

void resetSecurityControls() { SecurityState::shared().reset(); }

}  // namespace security::testing
