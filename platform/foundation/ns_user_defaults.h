// User defaults: key-value preferences in named domains. Each defaults object reads through a
// search list (its own persistent domain, then the global domain, then the volatile registration
// domain) and writes to its own persistent domain. Every object of the process that names a
// domain shares that domain's state, so a write through one is seen at once by the others.
//
// Persistent domains live as binary property lists, one file per domain, under
// $XDG_CONFIG_HOME/<bundle identifier>/preferences/ (directory 0700, files 0600), written
// atomically on every change. A file that cannot be read as a dictionary is renamed aside (to
// "<name>.plist.corrupt", numbered when that exists) and the domain starts empty.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/property_list.h"

inline constexpr const char* NSGlobalDomain = "NSGlobalDomain";
inline constexpr const char* NSRegistrationDomain = "NSRegistrationDomain";

class NSUserDefaults {
 public:
  // The application's own defaults.
  static std::shared_ptr<NSUserDefaults> standardUserDefaults();
  // A suite's defaults, or the application's own for nullopt. Null for a name the system does
  // not accept: the application's own domain, the global domain, or anything that is not a
  // plain file name (empty, holding '/' or a zero byte, starting with '.', over 255 bytes).
  static std::shared_ptr<NSUserDefaults> initWithSuiteName(
      const std::optional<std::string>& suiteName);

  std::optional<PropertyList> objectForKey(const std::string& defaultName) const;
  void setObject(const PropertyList& value, const std::string& defaultName);
  void setBool(bool value, const std::string& defaultName) { setObject(value, defaultName); }
  void setInteger(int64_t value, const std::string& defaultName) { setObject(value, defaultName); }
  void setDouble(double value, const std::string& defaultName) { setObject(value, defaultName); }
  // Removes the key from this object's own persistent domain only.
  void removeObjectForKey(const std::string& defaultName);
  // Everything the search list shows, the nearer domain winning.
  PropertyList::Dictionary dictionaryRepresentation() const;
  void registerDefaults(const PropertyList::Dictionary& registrationDictionary);

  // nullopt when the domain has never been written.
  std::optional<PropertyList::Dictionary> persistentDomainForName(const std::string& domainName) const;
  void setPersistentDomain(const PropertyList::Dictionary& domain, const std::string& domainName);
  void removePersistentDomainForName(const std::string& domainName);
  // Every change is written at once; kept for callers that ask.
  bool synchronize() { return true; }

  explicit NSUserDefaults(std::string domainName) : domain_name_(std::move(domainName)) {}

 private:
  std::string domain_name_;
};
