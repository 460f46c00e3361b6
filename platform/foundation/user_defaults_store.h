// The process-wide state behind NSUserDefaults: the persistent domains read from and written to
// their files, and the registration domain. Domains are cached by file path, so pointing the
// user directories elsewhere (as tests do) reaches other files.
#pragma once

#include <map>
#include <mutex>
#include <optional>
#include <string>

#include "platform/foundation/property_list.h"

namespace foundation {

class UserDefaultsStore {
 public:
  static UserDefaultsStore& shared();

  // The application's own domain: the bundle identifier, else the process name.
  static std::string applicationDomainName();
  // Whether a domain name can be a file name of its own.
  static bool isSafeDomainName(const std::string& name);

  std::optional<PropertyList::Dictionary> domain(const std::string& name);
  std::optional<PropertyList> value(const std::string& domainName, const std::string& key);
  void setValue(const std::string& domainName, const std::string& key,
                std::optional<PropertyList> value);
  void replaceDomain(const std::string& domainName, std::optional<PropertyList::Dictionary> domain);

  PropertyList::Dictionary registrationDomain();
  void registerDefaults(const PropertyList::Dictionary& defaults);

  void reset();

 private:
  struct Domain {
    bool exists = false;
    PropertyList::Dictionary values;
  };
  static std::string directory();
  Domain& load(const std::string& name);
  void save(const std::string& name, const Domain& domain);

  std::mutex mutex_;
  std::map<std::string, Domain> domains_;
  PropertyList::Dictionary registration_;
};

}  // namespace foundation
