#include "platform/foundation/user_defaults_store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>

#include "platform/foundation/ns_bundle.h"
#include "platform/foundation/ns_log.h"
#include "platform/foundation/ns_process_info.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/foundation/user_directories.h"

namespace foundation {
namespace {

std::string pathOf(const std::string& directory, const std::string& domainName) {
  return directory + "/" + domainName + ".plist";
}

// Creates the directory and its parent, both private to the user.
bool makePrivateDirectory(const std::string& path) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) return false;
  ::chmod(std::filesystem::path(path).parent_path().c_str(), 0700);
  return ::chmod(path.c_str(), 0700) == 0;
}

// Moves an unreadable file out of the way, never over another one.
bool setAside(const std::string& path) {
  std::string target = path + ".corrupt";
  std::error_code error;
  for (int i = 1; std::filesystem::exists(std::filesystem::symlink_status(target, error)); ++i) {
    target = path + ".corrupt-" + std::to_string(i);
  }
  if (std::rename(path.c_str(), target.c_str()) == 0) {
    NSLog("Preferences file %s could not be read; it was moved to %s", path.c_str(),
          target.c_str());
    return true;
  }
  NSLog("Preferences file %s could not be read or moved aside", path.c_str());
  return false;
}

}  // namespace

UserDefaultsStore& UserDefaultsStore::shared() {
  static auto* const store = new UserDefaultsStore();
  return *store;
}

bool UserDefaultsStore::isSafeDomainName(const std::string& name) {
  return !name.empty() && name.size() <= kMaximumDomainNameBytes && name.front() != '.' &&
         name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

std::string UserDefaultsStore::applicationDomainName() {
  auto identifier = NSBundle::mainBundle()->bundleIdentifier();
  if (identifier && isSafeDomainName(*identifier)) return *identifier;
  return NSProcessInfo::processInfo().processName();
}

std::string UserDefaultsStore::directory() {
  return userConfigDirectory() + "/" + applicationDomainName() + "/preferences";
}

UserDefaultsStore::Domain& UserDefaultsStore::load(const std::string& name) {
  const std::string path = pathOf(directory(), name);
  auto found = domains_.find(path);
  if (found != domains_.end()) return found->second;
  Domain& domain = domains_[path];
  PropertyList::removeStaleTemporaries(path);
  std::error_code error;
  if (std::filesystem::exists(std::filesystem::symlink_status(path, error))) {
    auto contents = PropertyList::readFile(path);
    if (contents && contents->asDictionary() != nullptr) {
      domain.exists = true;
      domain.values = *contents->asDictionary();
    } else {
      domain.writable = setAside(path);
    }
  }
  return domain;
}

bool UserDefaultsStore::commit(const std::string& name, Domain& domain, Domain next) {
  const std::string folder = directory();
  const std::string path = pathOf(folder, name);
  bool written = false;
  if (!domain.writable) {
    NSLog("The preferences domain %s is not written: %s could not be moved aside", name.c_str(),
          path.c_str());
  } else if (!next.exists) {
    std::error_code error;
    std::filesystem::remove(path, error);
    written = !error;
  } else {
    written = makePrivateDirectory(folder) &&
              PropertyList(next.values).writeFile(path, PropertyList::Format::binary);
  }
  if (!written) {
    NSLog("Could not write the preferences domain %s to %s", name.c_str(), path.c_str());
    return false;
  }
  domain = std::move(next);
  return true;
}

std::optional<PropertyList::Dictionary> UserDefaultsStore::domain(const std::string& name) {
  if (!isSafeDomainName(name)) return std::nullopt;
  std::lock_guard lock(mutex_);
  const Domain& domain = load(name);
  if (!domain.exists) return std::nullopt;
  return domain.values;
}

std::optional<PropertyList> UserDefaultsStore::value(const std::string& domainName,
                                                     const std::string& key) {
  if (!isSafeDomainName(domainName)) return std::nullopt;
  std::lock_guard lock(mutex_);
  const Domain& domain = load(domainName);
  auto found = domain.values.find(key);
  if (found == domain.values.end()) return std::nullopt;
  return found->second;
}

bool UserDefaultsStore::setValue(const std::string& domainName, const std::string& key,
                                 std::optional<PropertyList> value) {
  if (!value) return removeValues(domainName, {key});
  if (!isSafeDomainName(domainName)) return false;
  std::lock_guard lock(mutex_);
  Domain& domain = load(domainName);
  Domain next = domain;
  next.values.insert_or_assign(key, std::move(*value));
  next.exists = true;
  return commit(domainName, domain, std::move(next));
}

bool UserDefaultsStore::removeValues(const std::string& domainName,
                                     const std::vector<std::string>& keys) {
  if (!isSafeDomainName(domainName)) return false;
  std::lock_guard lock(mutex_);
  Domain& domain = load(domainName);
  Domain next = domain;
  size_t removed = 0;
  for (const std::string& key : keys) removed += next.values.erase(key);
  // Nothing to remove is nothing to write, and so nothing that can fail.
  if (removed == 0) return true;
  return commit(domainName, domain, std::move(next));
}

bool UserDefaultsStore::replaceDomain(const std::string& domainName,
                                      std::optional<PropertyList::Dictionary> values) {
  if (!isSafeDomainName(domainName)) return false;
  std::lock_guard lock(mutex_);
  Domain& domain = load(domainName);
  Domain next;
  next.exists = values.has_value();
  next.values = values ? std::move(*values) : PropertyList::Dictionary{};
  return commit(domainName, domain, std::move(next));
}

PropertyList::Dictionary UserDefaultsStore::registrationDomain() {
  std::lock_guard lock(mutex_);
  return registration_;
}

void UserDefaultsStore::registerDefaults(const PropertyList::Dictionary& defaults) {
  std::lock_guard lock(mutex_);
  for (const auto& [key, value] : defaults) registration_.insert_or_assign(key, value);
}

void UserDefaultsStore::reset() {
  std::lock_guard lock(mutex_);
  domains_.clear();
  registration_.clear();
}

namespace testing {

void resetUserDefaults() { UserDefaultsStore::shared().reset(); }

}  // namespace testing
}  // namespace foundation
