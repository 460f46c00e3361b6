// Several keychain calls as one: every SecItem and SecKey call that `body` makes on this thread
// joins one transaction of the keychain database, kept when `body` answers errSecSuccess and
// undone as a whole otherwise (also when the process dies before the end). Other threads and
// processes wait until it ends, so a lookup and the write it decides on cannot be interleaved.
// Groups may nest; an inner one that fails is undone alone.
#pragma once

#include <functional>

#include "platform/security/sec_base.h"

namespace security {

OSStatus performKeychainTransaction(const std::function<OSStatus()>& body);

}  // namespace security
