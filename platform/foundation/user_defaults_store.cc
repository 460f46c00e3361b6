#include "platform/foundation/user_defaults_store.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <filesystem>

#include "platform/foundation/durable_file.h"
#include "platform/foundation/file_lock.h"
#include "platform/foundation/ns_bundle.h"
#include "platform/foundation/ns_log.h"
#include "platform/foundation/ns_process_info.h"
#include "platform/foundation/system_error.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/foundation/user_directories.h"

namespace foundation {
namespace {

// File timestamps come from a clock that ticks every few milliseconds, and some file systems
// keep whole seconds (their nanoseconds are then always 0): a file changed within that much of
// being read could be replaced by another of the same identity (inode, size and times), so it is
// read again until the time has passed.
constexpr int64_t kTimestampSlackNanoseconds = 100'000'000;
constexpr int64_t kWholeSecondSlackNanoseconds = 3'000'000'000;

std::string pathOf(const std::string& directory, const std::string& domainName) {
  return directory + "/" + domainName + ".plist";
}

// Beside the domain's file; the leading dot keeps it apart from every domain's file.
std::string lockPathOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  return path.substr(0, slash + 1) + "." + path.substr(slash + 1) + ".lock";
}

int64_t nowNanoseconds() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return static_cast<int64_t>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

// Whether no later version of the file can carry the same identity: it was last changed well
// before `seenAt`, a time taken before the file was opened.
bool vouches(const std::optional<FileIdentity>& identity, int64_t seenAt) {
  if (!identity) return false;
  const bool whole_seconds =
      identity->modified % 1'000'000'000 == 0 && identity->changed % 1'000'000'000 == 0;
  const int64_t slack = whole_seconds ? kWholeSecondSlackNanoseconds : kTimestampSlackNanoseconds;
  return seenAt - std::max(identity->modified, identity->changed) > slack;
}

// How many copies of a domain's unreadable files are kept: "<file>.corrupt" and "-1" to "-3".
constexpr int kSetAsideCopies = 4;

std::string setAsideName(const std::string& path, int slot) {
  return slot == 0 ? path + ".corrupt" : path + ".corrupt-" + std::to_string(slot);
}

NSError posixError(int cause) {
  return NSError{NSPOSIXErrorDomain, cause, describeSystemError(cause), std::nullopt, nullptr};
}

void report(std::optional<NSError>* out, int cause) {
  if (out != nullptr) *out = posixError(cause);
}

// Takes group and other access away from a directory, and never gives the user back any access
// the user took (a directory narrowed to 0500 stays so).
bool keepPrivate(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat status {};
  bool kept = ::fstat(fd, &status) == 0 &&
              ((status.st_mode & 077) == 0 || ::fchmod(fd, status.st_mode & 07700) == 0);
  ::close(fd);
  return kept;
}

// Creates the directory and its parent (0700), both private to the user.
bool makePrivateDirectory(const std::string& path) {
  if (!makeDirectories(path, 0700)) return false;
  keepPrivate(std::filesystem::path(path).parent_path());
  return keepPrivate(path);
}

// Moves an unreadable file out of the way into a free slot, or over the oldest copy once all
// are taken, so that a file set aside again and again cannot fill the disk.
bool setAside(const std::string& path) {
  int slot = -1;
  int64_t oldest = INT64_MAX;
  for (int candidate = 0; candidate < kSetAsideCopies; ++candidate) {
    struct stat status {};
    if (::lstat(setAsideName(path, candidate).c_str(), &status) != 0) {
      if (errno != ENOENT) continue;
      slot = candidate;
      oldest = INT64_MIN;
      break;
    }
    const int64_t modified =
        static_cast<int64_t>(status.st_mtim.tv_sec) * 1'000'000'000 + status.st_mtim.tv_nsec;
    if (modified < oldest) {
      oldest = modified;
      slot = candidate;
    }
  }
  const std::string target = setAsideName(path, slot < 0 ? 0 : slot);
  const bool replacing = oldest != INT64_MIN;
  if ((!replacing || removeFile(target)) && renameFile(path, target)) {
    NSLog("Preferences file %s is not a property list; it was moved to %s%s", path.c_str(),
          target.c_str(), replacing ? ", in place of the oldest copy set aside" : "");
    return true;
  }
  const int cause = errno;
  NSLog("Preferences file %s is not a property list and could not be moved aside: %s", path.c_str(),
        describeSystemError(cause).c_str());
  return false;
}

// Makes the file hold `values`, or removes it when the domain does not exist. On success the
// identity of the file now there (nullopt when there is none); on failure `cause` says why.
std::optional<std::optional<FileIdentity>> writeDomainFile(const std::string& path, bool exists,
                                                           const PropertyList::Dictionary& values,
                                                           std::string* cause) {
  if (!exists) {
    if (!removeFile(path)) {
      *cause = describeSystemError(errno);
      return std::nullopt;
    }
    return std::optional<FileIdentity>();
  }
  std::optional<FileIdentity> identity;
  {
    // Freed before anything else is done: a domain can be some megabytes.
    std::vector<uint8_t> bytes = PropertyList(values).serialize(PropertyList::Format::binary);
    if (bytes.size() > PropertyList::kMaximumFileBytes) {
      *cause = "the domain would take " + std::to_string(bytes.size()) +
               " bytes, past the limit of " + std::to_string(PropertyList::kMaximumFileBytes) +
               " bytes";
      return std::nullopt;
    }
    identity = replaceFile(path, bytes);
  }
  if (!identity) {
    *cause = describeSystemError(errno);
    return std::nullopt;
  }
  return identity;
}

// Whether the file at `path` is the version of that identity (no file for nullopt).
bool holds(const std::string& path, const std::optional<FileIdentity>& identity) {
  RegularFileError error = RegularFileError::kUnreadable;
  auto file = RegularFile::open(path, UINT64_MAX, &error);
  if (!file) return !identity && error == RegularFileError::kNotFound;
  return identity && file->identity() == identity;
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

void UserDefaultsStore::forget(Domain& domain) {
  domain.exists = false;
  domain.values.clear();
  domain.file.reset();
  domain.settled = false;
}

UserDefaultsStore::Freshness UserDefaultsStore::refresh(const std::string& path, Domain& domain,
                                                        bool locked, int* cause) {
  const int64_t seen_at = nowNanoseconds();
  RegularFileError error = RegularFileError::kUnreadable;
  auto file = RegularFile::open(path, PropertyList::kMaximumFileBytes, &error);
  if (!file && error == RegularFileError::kNotFound) {
    forget(domain);
    return Freshness::kCurrent;
  }
  // A file that cannot be opened or read now says nothing about its data.
  if (!file && error == RegularFileError::kUnreadable) {
    *cause = errno;
    return Freshness::kUnavailable;
  }
  if (file) {
    auto identity = file->identity();
    if (!identity) {
      *cause = errno;
      return Freshness::kUnavailable;
    }
    if (domain.settled && domain.file == identity) return Freshness::kCurrent;
    auto bytes = file->readAll(&error);
    if (!bytes && error == RegularFileError::kUnreadable) {
      *cause = errno;
      return Freshness::kUnavailable;
    }
    std::optional<PropertyList> contents;
    if (bytes) contents = PropertyList::parse(*bytes);
    if (contents && contents->asDictionary() != nullptr) {
      domain.exists = true;
      domain.values = std::move(*contents->asDictionary());
      domain.file = identity;
      domain.settled = vouches(identity, seen_at);
      return Freshness::kCurrent;
    }
  }
  // Read whole and not a property list (or not a regular file, or too large): bad data. Only the
  // holder of the lock may move the file: another process could be replacing it.
  if (!locked) return Freshness::kNeedsLock;
  forget(domain);
  return setAside(path) ? Freshness::kCurrent : Freshness::kUnwritable;
}

UserDefaultsStore::Domain* UserDefaultsStore::load(const std::string& name,
                                                   std::optional<NSError>* error) {
  const std::string path = pathOf(directory(), name);
  Domain& domain = domains_[path];
  int cause = 0;
  Freshness freshness = refresh(path, domain, false, &cause);
  if (freshness == Freshness::kUnavailable) {
    NSLog("Preferences file %s could not be read: %s", path.c_str(),
          describeSystemError(cause).c_str());
    report(error, cause);
    return nullptr;
  }
  // A domain in use is swept of dead writers' temporaries once; unreadable files are moved aside.
  // Both need the lock, which a read never waits for: when another host holds it (or it cannot
  // be opened now), they wait for a later use.
  if (freshness == Freshness::kNeedsLock || (domain.exists && !domain.swept)) {
    if (auto lock = FileLock::acquire(lockPathOf(path), std::chrono::milliseconds(0))) {
      removeStaleTemporaries(path);
      domain.swept = true;
      if (freshness == Freshness::kNeedsLock) freshness = refresh(path, domain, true, &cause);
      if (freshness == Freshness::kUnavailable) {
        NSLog("Preferences file %s could not be read: %s", path.c_str(),
              describeSystemError(cause).c_str());
        report(error, cause);
        return nullptr;
      }
    } else if (freshness == Freshness::kNeedsLock) {
      // Read as empty until the file can be moved aside; nothing is written over it meanwhile.
      forget(domain);
    }
  }
  return &domain;
}

bool UserDefaultsStore::change(const std::string& name, const Change& apply) {
  const std::string folder = directory();
  const std::string path = pathOf(folder, name);
  if (!makePrivateDirectory(folder)) {
    const int cause = errno;
    NSLog("Could not create the preferences directory %s: %s", folder.c_str(),
          describeSystemError(cause).c_str());
    return false;
  }
  int cause = 0;
  auto lock = FileLock::acquire(lockPathOf(path), kLockWait, &cause);
  if (!lock) {
    if (cause == EWOULDBLOCK) {
      NSLog("The preferences domain %s stayed locked by another process; it is not written",
            name.c_str());
    } else {
      NSLog("The preferences domain %s is not written: its lock file could not be opened: %s",
            name.c_str(), describeSystemError(cause).c_str());
    }
    return false;
  }
  Domain& domain = domains_[path];
  if (!domain.swept) {
    removeStaleTemporaries(path);
    domain.swept = true;
  }
  switch (refresh(path, domain, true, &cause)) {
    case Freshness::kUnavailable:
      NSLog("The preferences domain %s is not written: %s could not be read: %s", name.c_str(),
            path.c_str(), describeSystemError(cause).c_str());
      return false;
    case Freshness::kUnwritable:
      NSLog("The preferences domain %s is not written: %s could not be moved aside", name.c_str(),
            path.c_str());
      return false;
    default:
      break;
  }
  Domain next = domain;
  // Nothing to change is nothing to write, and so nothing that can fail.
  if (!apply(next)) return true;
  return commit(path, domain, next);
}

bool UserDefaultsStore::commit(const std::string& path, Domain& domain, Domain next) {
  const int64_t written_at = nowNanoseconds();
  std::string cause;
  if (auto written = writeDomainFile(path, next.exists, next.values, &cause)) {
    next.file = *written;
    next.settled = vouches(next.file, written_at);
    domain = std::move(next);
    return true;
  }
  // The values not stored are let go before anything else is done.
  next = Domain();
  NSLog("Could not write the preferences domain file %s: %s", path.c_str(), cause.c_str());
  // A file replaced or removed whose directory could not then be flushed is put back, so that
  // the answer (nothing changed) holds for this process and for any other.
  if (!holds(path, domain.file)) {
    domain.settled = false;
    std::string restore_cause;
    if (auto restored = writeDomainFile(path, domain.exists, domain.values, &restore_cause)) {
      domain.file = *restored;
    } else {
      NSLog("The preferences domain file %s could not be put back as it was: %s", path.c_str(),
            restore_cause.c_str());
      domain.file.reset();
    }
  }
  return false;
}

std::optional<PropertyList::Dictionary> UserDefaultsStore::domain(const std::string& name,
                                                                  std::optional<NSError>* error) {
  if (!isSafeDomainName(name)) return std::nullopt;
  std::lock_guard lock(mutex_);
  const Domain* domain = load(name, error);
  if (domain == nullptr || !domain->exists) return std::nullopt;
  return domain->values;
}

std::optional<PropertyList> UserDefaultsStore::value(const std::string& domainName,
                                                     const std::string& key,
                                                     std::optional<NSError>* error) {
  if (!isSafeDomainName(domainName)) return std::nullopt;
  std::lock_guard lock(mutex_);
  const Domain* domain = load(domainName, error);
  if (domain == nullptr) return std::nullopt;
  auto found = domain->values.find(key);
  if (found == domain->values.end()) return std::nullopt;
  return found->second;
}

bool UserDefaultsStore::setValue(const std::string& domainName, const std::string& key,
                                 std::optional<PropertyList> value) {
  if (!value) return removeValues(domainName, {key});
  if (!isSafeDomainName(domainName)) return false;
  std::lock_guard lock(mutex_);
  return change(domainName, [&](Domain& domain) {
    domain.values.insert_or_assign(key, std::move(*value));
    domain.exists = true;
    return true;
  });
}

bool UserDefaultsStore::removeValues(const std::string& domainName,
                                     const std::vector<std::string>& keys) {
  if (!isSafeDomainName(domainName)) return false;
  std::lock_guard lock(mutex_);
  return change(domainName, [&](Domain& domain) {
    size_t removed = 0;
    for (const std::string& key : keys) removed += domain.values.erase(key);
    return removed > 0;
  });
}

bool UserDefaultsStore::replaceDomain(const std::string& domainName,
                                      std::optional<PropertyList::Dictionary> values) {
  if (!isSafeDomainName(domainName)) return false;
  std::lock_guard lock(mutex_);
  return change(domainName, [&](Domain& domain) {
    domain.exists = values.has_value();
    domain.values = values ? std::move(*values) : PropertyList::Dictionary{};
    return true;
  });
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
