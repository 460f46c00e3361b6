#include "platform/foundation/ns_process_info.h"

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <tuple>

#include "platform/foundation/testing/foundation_controls.h"

extern char** environ;

NSProcessInfo& NSProcessInfo::processInfo() {
  static NSProcessInfo info;
  return info;
}

std::map<std::string, std::string> NSProcessInfo::environment() const {
  std::map<std::string, std::string> variables;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    std::string text = *entry;
    auto equals = text.find('=');
    if (equals == std::string::npos) continue;
    variables.emplace(text.substr(0, equals), text.substr(equals + 1));
  }
  return variables;
}

int NSProcessInfo::processIdentifier() const { return static_cast<int>(getpid()); }

std::string NSProcessInfo::processName() const {
  std::error_code error;
  auto executable = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::string("DesktopHost") : executable.filename().string();
}

std::string NSProcessInfo::hostName() const {
  char name[256] = {};
  if (gethostname(name, sizeof name - 1) != 0) return "localhost";
  return name;
}

NSOperatingSystemVersion NSProcessInfo::operatingSystemVersion() const {
  return foundation::testing::emulatedOperatingSystemVersion();
}

std::string NSProcessInfo::operatingSystemVersionString() const {
  auto version = operatingSystemVersion();
  std::string text = "Version ";
  text.append(std::to_string(version.majorVersion)).append(".");
  text.append(std::to_string(version.minorVersion));
  if (version.patchVersion != 0) text.append(".").append(std::to_string(version.patchVersion));
  return text;
}

bool NSProcessInfo::isOperatingSystemAtLeastVersion(const NSOperatingSystemVersion& version) const {
  auto current = operatingSystemVersion();
  return std::tie(current.majorVersion, current.minorVersion, current.patchVersion) >=
         std::tie(version.majorVersion, version.minorVersion, version.patchVersion);
}

unsigned long long NSProcessInfo::physicalMemory() const {
  long pages = sysconf(_SC_PHYS_PAGES);
  long page_size = sysconf(_SC_PAGE_SIZE);
  return pages > 0 && page_size > 0 ? static_cast<unsigned long long>(pages) * page_size : 0;
}

unsigned long NSProcessInfo::processorCount() const {
  long count = sysconf(_SC_NPROCESSORS_CONF);
  return count > 0 ? static_cast<unsigned long>(count) : 1;
}

double NSProcessInfo::systemUptime() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}
