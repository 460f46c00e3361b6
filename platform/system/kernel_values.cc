#include "platform/system/kernel_values.h"

#include <sys/utsname.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include "platform/foundation/ns_process_info.h"
#include "platform/system/sysctl.h"

namespace libsystem {
namespace {

// Strings travel with their terminating NUL, as the kernel gives them.
SysctlReading stringValue(const std::string& text) {
  SysctlReading reading;
  reading.bytes.assign(text.begin(), text.end());
  reading.bytes.push_back(0);
  return reading;
}

template <typename T>
SysctlReading integerValue(T value) {
  SysctlReading reading;
  reading.bytes.resize(sizeof(T));
  std::memcpy(reading.bytes.data(), &value, sizeof(T));
  return reading;
}

SysctlReading failure(int error) { return SysctlReading{error, {}}; }

std::optional<utsname> uname() {
  utsname names{};
  if (::uname(&names) != 0) return std::nullopt;
  return names;
}

using UtsField = char (utsname::*)[sizeof(utsname::sysname)];

SysctlReading unameField(UtsField field) {
  auto names = uname();
  if (!names) return failure(errno);
  return stringValue((*names).*field);
}

// The first line of a file, without trailing NULs or line ends; nullopt when unreadable or empty.
std::optional<std::string> firstLine(const char* path) {
  std::ifstream file(path);
  std::string line;
  if (!file || !std::getline(file, line)) return std::nullopt;
  while (!line.empty() && (line.back() == '\0' || line.back() == '\r' || line.back() == ' ')) {
    line.pop_back();
  }
  if (line.empty()) return std::nullopt;
  return line;
}

SysctlReading kernelVersion() {
  if (auto line = firstLine("/proc/version")) return stringValue(*line);
  auto names = uname();
  if (!names) return failure(errno);
  return stringValue(std::string(names->sysname) + " version " + names->release + " " +
                     names->version);
}

// The kernel's build number, the "#N" that starts its version text; 0 when it has none.
SysctlReading kernelRevision() {
  auto names = uname();
  if (!names) return failure(errno);
  const char* text = names->version;
  int32_t revision = 0;
  if (text[0] == '#') revision = static_cast<int32_t>(std::strtol(text + 1, nullptr, 10));
  return integerValue(revision);
}

SysctlReading emulatedOsVersion() {
  auto version = NSProcessInfo::processInfo().operatingSystemVersion();
  std::string text = std::to_string(version.majorVersion) + "." +
                     std::to_string(version.minorVersion);
  if (version.patchVersion != 0) text += "." + std::to_string(version.patchVersion);
  return stringValue(text);
}

SysctlReading machineModel() {
  for (const char* path : {"/sys/devices/virtual/dmi/id/product_name", "/proc/device-tree/model"}) {
    if (auto model = firstLine(path)) return stringValue(*model);
  }
  return failure(ENOENT);
}

SysctlReading memorySize() {
  long pages = sysconf(_SC_PHYS_PAGES);
  long pageSize = sysconf(_SC_PAGESIZE);
  if (pages <= 0 || pageSize <= 0) return failure(EINVAL);
  return integerValue(static_cast<uint64_t>(pages) * static_cast<uint64_t>(pageSize));
}

SysctlReading activeProcessors() {
  long count = sysconf(_SC_NPROCESSORS_ONLN);
  if (count <= 0) return failure(EINVAL);
  return integerValue(static_cast<int32_t>(count));
}

// Hertz: the cpufreq driver's maximum when there is one, else the clock /proc/cpuinfo reports.
SysctlReading processorFrequency() {
  if (auto khz = firstLine("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq")) {
    int64_t value = std::strtoll(khz->c_str(), nullptr, 10);
    if (value > 0) return integerValue(value * 1000);
  }
  std::ifstream cpuinfo("/proc/cpuinfo");
  std::string line;
  while (std::getline(cpuinfo, line)) {
    if (line.rfind("cpu MHz", 0) != 0) continue;
    auto colon = line.find(':');
    if (colon == std::string::npos) break;
    double mhz = std::strtod(line.c_str() + colon + 1, nullptr);
    if (mhz > 0) return integerValue(static_cast<int64_t>(mhz * 1e6));
    break;
  }
  return failure(ENOENT);
}

}  // namespace

std::vector<SysctlEntry> kernelEntries() {
  return {
      {"kern.ostype", {CTL_KERN, KERN_OSTYPE}, [] { return unameField(&utsname::sysname); }},
      {"kern.osrelease", {CTL_KERN, KERN_OSRELEASE}, [] { return unameField(&utsname::release); }},
      {"kern.osrevision", {CTL_KERN, KERN_OSREV}, kernelRevision},
      {"kern.version", {CTL_KERN, KERN_VERSION}, kernelVersion},
      {"kern.hostname", {CTL_KERN, KERN_HOSTNAME}, [] { return unameField(&utsname::nodename); }},
      {"kern.osversion", {CTL_KERN, KERN_OSVERSION}, emulatedOsVersion},
      {"hw.machine", {CTL_HW, HW_MACHINE}, [] { return unameField(&utsname::machine); }},
      {"hw.model", {CTL_HW, HW_MODEL}, machineModel},
      {"hw.cpufrequency", {CTL_HW, HW_CPU_FREQ}, processorFrequency},
      {"hw.memsize", {CTL_HW, HW_MEMSIZE}, memorySize},
      {"hw.activecpu", {CTL_HW, HW_AVAILCPU}, activeProcessors},
  };
}

}  // namespace libsystem
