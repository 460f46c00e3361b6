// What tests may observe and steer in the Security stand-in: the dictionaries each function was
// last given (kept only while a test has recording on: they hold secrets), statuses to answer
// instead of doing the work, and whether the hardware token is present. Process-wide, as the
// keychain is.
#pragma once

#include <deque>
#include <map>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/security/cf_value.h"
#include "platform/security/sec_base.h"

namespace security::internal {

enum class SecFunction {
  itemAdd,
  itemCopyMatching,
  itemUpdate,
  itemDelete,
  keyCreateRandomKey,
  accessControlCreateWithFlags,
};

// The dictionaries of one call: the query (or attributes, or parameters) and, for an update,
// the attributes to change.
struct RecordedCall {
  CFDictionary dictionary;
  CFDictionary attributesToUpdate;
};

class SecurityState {
 public:
  static SecurityState& shared();
  // A fresh state records nothing; shared() is the one the Security functions use.
  SecurityState() = default;

  // Records a call (while recording) and answers the status injected for it, if one is due.
  std::optional<OSStatus> enter(SecFunction function, const CFDictionary& dictionary,
                                const CFDictionary& attributesToUpdate = {});
  // The call after `skip` further calls of `function` answers `status`.
  void failCall(SecFunction function, OSStatus status, int skip);
  // The most recent calls of `function`, oldest first (a bounded history).
  std::vector<RecordedCall> calls(SecFunction function) const;

  bool hardwareTokenAvailable() const;
  void setHardwareTokenAvailable(bool available);

  void setRecording(bool recording);

  // No recorded calls, no injected statuses, the token present, and recording on: the state a
  // test starts from.
  void reset();

 private:
  struct Injection {
    int skip;
    OSStatus status;
  };

  mutable std::mutex mutex_;
  std::map<SecFunction, std::deque<RecordedCall>> calls_;
  std::map<SecFunction, std::vector<Injection>> injections_;
  bool token_available_ = true;
  bool recording_ = false;
};

}  // namespace security::internal
