#include "platform/foundation/testing/foundation_controls.h"

#include <mutex>
#include <set>
#include <utility>

namespace foundation::testing {
namespace {

// The process-wide facts these controls stand for, guarded by one lock.
struct Controls {
  std::mutex mutex;
  NSOperatingSystemVersion version{15, 0, 0};
  std::optional<std::string> bundle_path;
  std::optional<std::string> user_directories_root;
  bool fail_next_write = false;
  std::set<FileSystemFault> file_system_faults;
  bool capturing_log = false;
  std::vector<std::string> log_lines;
};

Controls& controls() {
  static auto* const state = new Controls();
  return *state;
}

}  // namespace

NSOperatingSystemVersion emulatedOperatingSystemVersion() {
  std::lock_guard lock(controls().mutex);
  return controls().version;
}

void setEmulatedOperatingSystemVersion(const NSOperatingSystemVersion& version) {
  std::lock_guard lock(controls().mutex);
  controls().version = version;
}

std::optional<std::string> mainBundlePathOverride() {
  std::lock_guard lock(controls().mutex);
  return controls().bundle_path;
}

void setMainBundlePath(std::optional<std::string> path) {
  std::lock_guard lock(controls().mutex);
  controls().bundle_path = std::move(path);
}

std::optional<std::string> userDirectoriesRoot() {
  std::lock_guard lock(controls().mutex);
  return controls().user_directories_root;
}

void setUserDirectoriesRoot(std::optional<std::string> root) {
  std::lock_guard lock(controls().mutex);
  controls().user_directories_root = std::move(root);
}

void failNextPropertyListWrite() {
  std::lock_guard lock(controls().mutex);
  controls().fail_next_write = true;
}

bool takePropertyListWriteFault() {
  std::lock_guard lock(controls().mutex);
  return std::exchange(controls().fail_next_write, false);
}

void injectFileSystemFault(FileSystemFault fault) {
  std::lock_guard lock(controls().mutex);
  controls().file_system_faults.insert(fault);
}

bool takeFileSystemFault(FileSystemFault fault) {
  std::lock_guard lock(controls().mutex);
  return controls().file_system_faults.erase(fault) > 0;
}

std::vector<std::string> takeLogLines() {
  std::lock_guard lock(controls().mutex);
  return std::exchange(controls().log_lines, {});
}

void setLogCapture(bool enabled) {
  std::lock_guard lock(controls().mutex);
  controls().capturing_log = enabled;
  if (!enabled) controls().log_lines.clear();
}

void recordLogLine(const std::string& line) {
  std::lock_guard lock(controls().mutex);
  if (controls().capturing_log) controls().log_lines.push_back(line);
}

}  // namespace foundation::testing
