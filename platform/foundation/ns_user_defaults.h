// User defaults: key-value preferences in named domains. Each defaults object reads through a
// search list (its own persistent domain, then the global domain, then the volatile registration
// domain) and writes to its own persistent domain. Every object that names a domain, in this
// process or in another on the same files, reads that domain's file as it is now, so a write
// through one is seen at once by the others.
//
// Persistent domains live as binary property lists, one file per domain, under
// $XDG_CONFIG_HOME/<bundle identifier>/preferences/ (directory 0700, files 0600). Every change
// is made under the domain's lock file (".<name>.plist.lock") to the file's current contents and
// written atomically and durably. A file that was read and is not a dictionary (or is not a
// regular file, or is larger than 16 MiB) is renamed aside (to "<name>.plist.corrupt", then
// "-1" to "-3", then over the oldest of these four) and the domain starts empty; a file that
// cannot be read now (descriptors, permissions, I/O) is left as it is and the read fails;
// temporaries (".<name>.plist.tmpXXXXXX") left by a writer that died are removed when the domain is
// first used.
//
// Unlike the platform, whose writes reach the disk later, every change here answers whether it
// is on disk; on false nothing changed, in memory or on disk. So a change flushes the disk and may
// wait (up to 5 s) for another process's lock: callers keep their defaults work off the main
// thread. Defaults objects may be used from any thread; the state behind them is guarded by one
// lock, so a read waits behind a change in progress.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/ns_error.h"
#include "platform/foundation/property_list.h"

inline constexpr const char* NSGlobalDomain = "NSGlobalDomain";
inline constexpr const char* NSRegistrationDomain = "NSRegistrationDomain";

class NSUserDefaults {
 public:
  // The application's own defaults.
  static std::shared_ptr<NSUserDefaults> standardUserDefaults();
  // A suite's defaults, or the application's own for nullopt. Null for a name the system does
  // not accept: the application's own domain, the global domain, or anything that is not a
  // plain file name (empty, holding '/' or a zero byte, starting with '.', over 238 bytes).
  static std::shared_ptr<NSUserDefaults> initWithSuiteName(
      const std::optional<std::string>& suiteName);

  // Each read below may be given `error`: it is set, and the read answers nothing, when a domain
  // of the search list cannot be read now (a limit reached, a permission missing, an I/O error).
  std::optional<PropertyList> objectForKey(const std::string& defaultName,
                                           std::optional<NSError>* error = nullptr) const;
  // Takes the value by value: a large one is moved into the domain, never copied.
  bool setObject(PropertyList value, const std::string& defaultName);
  bool setBool(bool value, const std::string& defaultName) { return setObject(value, defaultName); }
  bool setInteger(int64_t value, const std::string& defaultName) {
    return setObject(value, defaultName);
  }
  bool setDouble(double value, const std::string& defaultName) {
    return setObject(value, defaultName);
  }
  // Removes the key from this object's own persistent domain only.
  bool removeObjectForKey(const std::string& defaultName);
  // Removes the keys from this object's own persistent domain in one write.
  bool removeObjectsForKeys(const std::vector<std::string>& defaultNames);
  // Everything the search list shows, the nearer domain winning.
  PropertyList::Dictionary dictionaryRepresentation(std::optional<NSError>* error = nullptr) const;
  void registerDefaults(const PropertyList::Dictionary& registrationDictionary);

  // nullopt when the domain has never been written.
  std::optional<PropertyList::Dictionary> persistentDomainForName(
      const std::string& domainName, std::optional<NSError>* error = nullptr) const;
  bool setPersistentDomain(const PropertyList::Dictionary& domain, const std::string& domainName);
  bool removePersistentDomainForName(const std::string& domainName);
  // Every change is written at once; kept for callers that ask.
  bool synchronize() { return true; }

  explicit NSUserDefaults(std::string domainName) : domain_name_(std::move(domainName)) {}

 private:
  std::string domain_name_;
};
