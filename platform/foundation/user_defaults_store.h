// The process-wide state behind NSUserDefaults: the persistent domains, kept in their files, and
// the registration domain. Domains are found by file path, so pointing the user directories
// elsewhere (as tests do) reaches other files.
//
// Other processes may use the same files (the application started twice, or two applications
// sharing a suite). A domain's file is the truth: every read checks, on the file's descriptor,
// whether it is still the version last read, and reads it again when not; every change is made
// under the domain's lock file to the file's current contents and written back whole. A change
// is kept only once its file is written and flushed: each answers whether it reached the disk,
// and a failed one leaves the file, and so what is read, as it was.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/ns_error.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/regular_file.h"

namespace foundation {

class UserDefaultsStore {
 public:
  static UserDefaultsStore& shared();

  // The application's own domain: the bundle identifier, else the process name.
  static std::string applicationDomainName();
  // The longest domain name: its file name with ".plist" and a temporary's "." and ".tmpXXXXXX"
  // must fit the file system's 255 bytes.
  static constexpr size_t kMaximumDomainNameBytes = 238;
  // How long a change waits for another process that holds the domain's lock.
  static constexpr std::chrono::milliseconds kLockWait{5000};
  // Whether a domain name can be a file name of its own.
  static bool isSafeDomainName(const std::string& name);

  // Reads answer nullopt, and set `error` (when given) to the system's cause, when the domain's
  // file cannot be read now (a limit, a permission, an I/O error); nothing is changed then. A
  // file that was read and is not a property list is set aside and reads as an empty domain.
  std::optional<PropertyList::Dictionary> domain(const std::string& name,
                                                 std::optional<NSError>* error = nullptr);
  std::optional<PropertyList> value(const std::string& domainName, const std::string& key,
                                    std::optional<NSError>* error = nullptr);
  // Each answers whether the change is on disk; on false nothing changed.
  bool setValue(const std::string& domainName, const std::string& key,
                std::optional<PropertyList> value);
  // Removes every key in one write.
  bool removeValues(const std::string& domainName, const std::vector<std::string>& keys);
  bool replaceDomain(const std::string& domainName, std::optional<PropertyList::Dictionary> domain);

  PropertyList::Dictionary registrationDomain();
  void registerDefaults(const PropertyList::Dictionary& defaults);

  void reset();

 private:
  // A domain as last read from (or written to) its file.
  struct Domain {
    bool exists = false;
    PropertyList::Dictionary values;
    // The file `values` came from; nullopt when there was none.
    std::optional<FileIdentity> file;
    // Whether `file` alone vouches for `values` (see vouches()).
    bool settled = false;
    // Whether the temporaries of dead writers were looked for in this process.
    bool swept = false;
  };
  // kUnavailable: the file could not be read now (the cause in errno terms); kUnwritable: it is
  // not a property list and could not be moved aside.
  enum class Freshness { kCurrent, kNeedsLock, kUnavailable, kUnwritable };
  // A change to a domain's values; false when it changes nothing.
  using Change = std::function<bool(Domain&)>;

  static std::string directory();
  // Makes `domain` one without a file.
  static void forget(Domain& domain);
  // The domain, up to date with its file; null (and `error` set) when the file cannot be read now.
  Domain* load(const std::string& name, std::optional<NSError>* error);
  // Reads the file again unless it is the version `domain` holds. A file that is not a property
  // list is moved aside only under the lock (`locked`); without it the answer is kNeedsLock. On
  // kUnavailable `domain` is as it was and `cause` holds the errno.
  Freshness refresh(const std::string& path, Domain& domain, bool locked, int* cause);
  // Applies `change` to the file's current contents under the lock and writes them.
  bool change(const std::string& name, const Change& change);
  // Writes `next` as the domain's file and, on success only, makes it the domain; on failure the
  // file is put back as `domain` holds it, should it have been touched.
  bool commit(const std::string& path, Domain& domain, Domain next);

  std::mutex mutex_;
  std::map<std::string, Domain> domains_;
  PropertyList::Dictionary registration_;
};

}  // namespace foundation
