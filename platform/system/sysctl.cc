#include "platform/system/sysctl.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/system/sysctl_registry.h"

namespace {

int fail(int error) {
  errno = error;
  return -1;
}

}  // namespace

int sysctl(const int* name, unsigned namelen, void* oldp, size_t* oldlenp, const void* newp,
           size_t newlen) {
  if (name == nullptr || namelen < 2 || namelen > static_cast<unsigned>(CTL_MAXNAME)) {
    return fail(EINVAL);
  }
  if (newp != nullptr || newlen != 0) return fail(EPERM);
  if (oldlenp == nullptr) return fail(EINVAL);
  auto reading = libsystem::SysctlRegistry::shared().read(std::vector<int>(name, name + namelen));
  if (reading.error != 0) return fail(reading.error);
  if (oldp != nullptr) {
    if (*oldlenp < reading.bytes.size()) return fail(ENOMEM);
    if (!reading.bytes.empty()) std::memcpy(oldp, reading.bytes.data(), reading.bytes.size());
  }
  *oldlenp = reading.bytes.size();
  return 0;
}

int sysctlnametomib(const char* name, int* mibp, size_t* sizep) {
  if (name == nullptr || mibp == nullptr || sizep == nullptr) return fail(EINVAL);
  auto mib = libsystem::SysctlRegistry::shared().mibForName(name);
  if (!mib) return fail(ENOENT);
  if (*sizep < mib->size()) return fail(ENOMEM);
  std::copy(mib->begin(), mib->end(), mibp);
  *sizep = mib->size();
  return 0;
}
