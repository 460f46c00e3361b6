#include "plugins/device_info_macos/sysctl.h"

#include <cerrno>
#include <cstring>

#include "platform/foundation/utf8.h"
#include "platform/system/sysctl.h"

namespace device_info_macos {
namespace {

using Error = Sysctl::Error;

// errno after a failed call: a POSIX code, or unknown when it is none of them.
Error errnoError() {
  int code = errno;
  if (code <= 0 || strerrorname_np(code) == nullptr) return Error{Error::Kind::unknown};
  return Error{Error::Kind::posixError, code};
}

}  // namespace

Sysctl::Result<std::vector<int8_t>> Sysctl::dataForKeys(const Keys& keys) {
  std::vector<int> mib(keys.begin(), keys.end());
  size_t size = 0;
  if (sysctl(mib.data(), static_cast<unsigned>(mib.size()), nullptr, &size, nullptr, 0) != 0) {
    return errnoError();
  }
  std::vector<int8_t> data(size, 0);
  if (sysctl(mib.data(), static_cast<unsigned>(mib.size()), data.data(), &size, nullptr, 0) !=
      0) {
    return errnoError();
  }
  // The value may have shrunk between the two calls.
  data.resize(size);
  return data;
}

Sysctl::Result<Sysctl::Keys> Sysctl::keysForName(const std::string& name) {
  int mib[CTL_MAXNAME] = {};
  size_t count = CTL_MAXNAME;
  if (sysctlnametomib(name.c_str(), mib, &count) != 0) return errnoError();
  return Keys(mib, mib + count);
}

Sysctl::Result<std::string> Sysctl::stringForKeys(const Keys& keys) {
  auto data = dataForKeys(keys);
  if (!data.ok()) return data.error();
  const auto& bytes = data.value();
  size_t length = 0;
  while (length < bytes.size() && bytes[length] != 0) ++length;
  std::string text(reinterpret_cast<const char*>(bytes.data()), length);
  if (!foundation::isValidUtf8(text)) return Error{Error::Kind::malformedUTF8};
  return text;
}

Sysctl::Result<std::string> Sysctl::stringForName(const std::string& name) {
  auto keys = keysForName(name);
  if (!keys.ok()) return keys.error();
  return stringForKeys(keys.value());
}

std::string Sysctl::hostName() { return stringForKeys({CTL_KERN, KERN_HOSTNAME}).valueOr(""); }
std::string Sysctl::machine() { return stringForKeys({CTL_HW, HW_MACHINE}).valueOr(""); }
std::string Sysctl::model() { return stringForKeys({CTL_HW, HW_MODEL}).valueOr(""); }
int32_t Sysctl::activeCPUs() { return int32ForKeys({CTL_HW, HW_AVAILCPU}).valueOr(0); }
std::string Sysctl::osRelease() { return stringForKeys({CTL_KERN, KERN_OSRELEASE}).valueOr(""); }
std::string Sysctl::osType() { return stringForKeys({CTL_KERN, KERN_OSTYPE}).valueOr(""); }
std::string Sysctl::osVersion() { return stringForKeys({CTL_KERN, KERN_OSVERSION}).valueOr(""); }
std::string Sysctl::version() { return stringForKeys({CTL_KERN, KERN_VERSION}).valueOr(""); }
int32_t Sysctl::osRev() { return int32ForKeys({CTL_KERN, KERN_OSREV}).valueOr(0); }
int64_t Sysctl::cpuFreq() { return valueForName<int64_t>("hw.cpufrequency").valueOr(0); }
uint64_t Sysctl::memSize() { return valueOfType<uint64_t>({CTL_HW, HW_MEMSIZE}).valueOr(0); }

}  // namespace device_info_macos
