#include "platform/system/sysctl_registry.h"

#include <cerrno>

#include "platform/system/kernel_values.h"

namespace libsystem {
namespace {

// Entries that tests add beyond the table sit under this otherwise unused top-level number.
constexpr int kTestNode = 0;

}  // namespace

SysctlRegistry& SysctlRegistry::shared() {
  static auto* const registry = new SysctlRegistry();
  return *registry;
}

SysctlRegistry::SysctlRegistry() : entries_(kernelEntries()) {}

const SysctlEntry* SysctlRegistry::builtin(const std::string& name) const {
  for (const auto& entry : entries_) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

std::optional<std::vector<int>> SysctlRegistry::mibForName(const std::string& name) const {
  std::lock_guard lock(mutex_);
  if (auto found = overrides_.find(name); found != overrides_.end()) {
    if (found->second.removed) return std::nullopt;
    return found->second.mib;
  }
  if (const SysctlEntry* entry = builtin(name)) return entry->mib;
  return std::nullopt;
}

SysctlReading SysctlRegistry::read(const std::vector<int>& mib) const {
  std::function<SysctlReading()> reader;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [name, replaced] : overrides_) {
      if (replaced.mib != mib) continue;
      if (replaced.removed) return SysctlReading{ENOENT, {}};
      return replaced.reading;
    }
    for (const auto& entry : entries_) {
      if (entry.mib == mib) {
        reader = entry.read;
        break;
      }
    }
  }
  if (!reader) return SysctlReading{ENOENT, {}};
  return reader();
}

SysctlRegistry::Override& SysctlRegistry::overrideFor(const std::string& name) {
  auto [found, inserted] = overrides_.try_emplace(name);
  if (inserted) {
    const SysctlEntry* entry = builtin(name);
    found->second.mib = entry ? entry->mib : std::vector<int>{kTestNode, next_test_mib_++};
  }
  return found->second;
}

void SysctlRegistry::setValue(const std::string& name, SysctlBytes bytes) {
  std::lock_guard lock(mutex_);
  Override& replaced = overrideFor(name);
  replaced.reading = SysctlReading{0, std::move(bytes)};
  replaced.removed = false;
}

void SysctlRegistry::setError(const std::string& name, int error) {
  std::lock_guard lock(mutex_);
  Override& replaced = overrideFor(name);
  replaced.reading = SysctlReading{error, {}};
  replaced.removed = false;
}

void SysctlRegistry::remove(const std::string& name) {
  std::lock_guard lock(mutex_);
  overrideFor(name).removed = true;
}

void SysctlRegistry::reset() {
  std::lock_guard lock(mutex_);
  overrides_.clear();
}

}  // namespace libsystem
