// The table behind sysctl: each entry has a dotted name, a MIB and a reader of its current value.
// Tests may replace, fail or remove entries (testing/sysctl_controls.h).
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace libsystem {

using SysctlBytes = std::vector<uint8_t>;

// A value as read: its bytes, or the errno of a failed read.
struct SysctlReading {
  int error = 0;
  SysctlBytes bytes;
};

struct SysctlEntry {
  std::string name;
  std::vector<int> mib;
  std::function<SysctlReading()> read;
};

class SysctlRegistry {
 public:
  // The machine's kernel is process-wide, and so is its table.
  static SysctlRegistry& shared();

  std::optional<std::vector<int>> mibForName(const std::string& name) const;
  // ENOENT when no entry has this MIB.
  SysctlReading read(const std::vector<int>& mib) const;

  void setValue(const std::string& name, SysctlBytes bytes);
  void setError(const std::string& name, int error);
  void remove(const std::string& name);
  void reset();

 private:
  struct Override {
    std::vector<int> mib;
    SysctlReading reading;
    bool removed = false;
  };

  SysctlRegistry();
  const SysctlEntry* builtin(const std::string& name) const;
  Override& overrideFor(const std::string& name);

  const std::vector<SysctlEntry> entries_;
  mutable std::mutex mutex_;
  std::map<std::string, Override> overrides_;
  int next_test_mib_ = 1;
};

}  // namespace libsystem
