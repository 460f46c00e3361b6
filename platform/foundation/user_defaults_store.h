// The process-wide state behind NSUserDefaults: the persistent domains read from and written to
// their files, and the registration domain. Domains are cached by file path, so pointing the
// user directories elsewhere (as tests do) reaches other files.
//
// A change is kept only once its file is written: every write answers whether it reached the
// disk, and a failed one leaves the domain in memory as it is on disk.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/property_list.h"

namespace foundation {

class UserDefaultsStore {
 public:
  static UserDefaultsStore& shared();

  // The application's own domain: the bundle identifier, else the process name.
  static std::string applicationDomainName();
  // The longest domain name: its file name with ".plist" and a temporary's ".tmp-XXXXXX" must
  // fit the file system's 255 bytes.
  static constexpr size_t kMaximumDomainNameBytes = 238;
  // Whether a domain name can be a file name of its own.
  static bool isSafeDomainName(const std::string& name);

  std::optional<PropertyList::Dictionary> domain(const std::string& name);
  std::optional<PropertyList> value(const std::string& domainName, const std::string& key);
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
  struct Domain {
    bool exists = false;
    PropertyList::Dictionary values;
    // False when an unreadable file could not be moved aside: writing would destroy it.
    bool writable = true;
  };
  static std::string directory();
  Domain& load(const std::string& name);
  // Writes `next` as the domain's file and, on success only, makes it the domain.
  bool commit(const std::string& name, Domain& domain, Domain next);

  std::mutex mutex_;
  std::map<std::string, Domain> domains_;
  PropertyList::Dictionary registration_;
};

}  // namespace foundation
