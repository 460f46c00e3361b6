// Tasks: a reference to a running process, through which the process's entitlements are read.
//
// The entitlements are those the application bundle declares: a property-list dictionary in
// Contents/Entitlements.plist of the main bundle, or, when the bundle has none, the host's
// declared set (the app sandbox with user-selected files read and write, the camera, the
// microphone, USB, the photo library, network client and server, and just-in-time code).
#pragma once

#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "platform/security/cf_error.h"
#include "platform/security/cf_value.h"

namespace security::testing {
struct SecTaskAccess;
}

class SecTask {
 public:
  explicit SecTask(CFDictionary entitlements) : entitlements_(std::move(entitlements)) {}
  const CFDictionary& entitlements() const { return entitlements_; }

 private:
  friend struct security::testing::SecTaskAccess;
  friend std::shared_ptr<const SecTask> SecTaskCreateFromSelf();

  // The process's entitlements, read from the bundle on first use; the test controls change them.
  struct ProcessState {
    std::mutex mutex;
    std::optional<CFDictionary> entitlements;
    bool failCreation = false;
  };
  static ProcessState& processState();
  static CFDictionary processEntitlements();

  CFDictionary entitlements_;
};

using SecTaskRef = std::shared_ptr<const SecTask>;

// The task of the calling process (with the default allocator); null when it cannot be made.
SecTaskRef SecTaskCreateFromSelf();
// The entitlement's value, or a null value when the task does not have it. `error` may be null.
CFValue SecTaskCopyValueForEntitlement(const SecTaskRef& task, const std::string& entitlement,
                                       CFErrorRef* error);
