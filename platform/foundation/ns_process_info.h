// Facts about the running process and the operating system it runs on.
#pragma once

#include <map>
#include <string>

struct NSOperatingSystemVersion {
  long majorVersion = 0;
  long minorVersion = 0;
  long patchVersion = 0;
};

class NSProcessInfo {
 public:
  static NSProcessInfo& processInfo();

  std::map<std::string, std::string> environment() const;
  int processIdentifier() const;
  std::string processName() const;
  std::string hostName() const;
  // The emulated macOS version (15.0 unless a test sets another).
  NSOperatingSystemVersion operatingSystemVersion() const;
  // "Version 15.0", or "Version 15.0.1" with a patch level.
  std::string operatingSystemVersionString() const;
  bool isOperatingSystemAtLeastVersion(const NSOperatingSystemVersion& version) const;
  unsigned long long physicalMemory() const;
  unsigned long processorCount() const;
  double systemUptime() const;

 private:
  NSProcessInfo() = default;
};
