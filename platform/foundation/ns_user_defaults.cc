#include "platform/foundation/ns_user_defaults.h"

#include <utility>

#include "platform/foundation/user_defaults_store.h"

using foundation::UserDefaultsStore;

std::shared_ptr<NSUserDefaults> NSUserDefaults::standardUserDefaults() {
  return std::make_shared<NSUserDefaults>(UserDefaultsStore::applicationDomainName());
}

std::shared_ptr<NSUserDefaults> NSUserDefaults::initWithSuiteName(
    const std::optional<std::string>& suiteName) {
  if (!suiteName) return standardUserDefaults();
  if (!UserDefaultsStore::isSafeDomainName(*suiteName) || *suiteName == NSGlobalDomain ||
      *suiteName == UserDefaultsStore::applicationDomainName()) {
    return nullptr;
  }
  return std::make_shared<NSUserDefaults>(*suiteName);
}

std::optional<PropertyList> NSUserDefaults::objectForKey(const std::string& defaultName,
                                                         std::optional<NSError>* error) const {
  auto& store = UserDefaultsStore::shared();
  std::optional<NSError> failure;
  for (const std::string& name : {domain_name_, std::string(NSGlobalDomain)}) {
    auto value = store.value(name, defaultName, &failure);
    if (failure) {
      if (error != nullptr) *error = std::move(failure);
      return std::nullopt;
    }
    if (value) return value;
  }
  auto registration = store.registrationDomain();
  auto found = registration.find(defaultName);
  if (found == registration.end()) return std::nullopt;
  return found->second;
}

bool NSUserDefaults::setObject(PropertyList value, const std::string& defaultName) {
  return UserDefaultsStore::shared().setValue(domain_name_, defaultName, std::move(value));
}

bool NSUserDefaults::removeObjectForKey(const std::string& defaultName) {
  return UserDefaultsStore::shared().setValue(domain_name_, defaultName, std::nullopt);
}

bool NSUserDefaults::removeObjectsForKeys(const std::vector<std::string>& defaultNames) {
  return UserDefaultsStore::shared().removeValues(domain_name_, defaultNames);
}

PropertyList::Dictionary NSUserDefaults::dictionaryRepresentation(
    std::optional<NSError>* error) const {
  auto& store = UserDefaultsStore::shared();
  PropertyList::Dictionary merged = store.registrationDomain();
  std::optional<NSError> failure;
  for (const std::string& name : {std::string(NSGlobalDomain), domain_name_}) {
    auto domain = store.domain(name, &failure);
    if (failure) {
      if (error != nullptr) *error = std::move(failure);
      return {};
    }
    if (domain) {
      for (auto& [key, value] : *domain) merged.insert_or_assign(key, std::move(value));
    }
  }
  return merged;
}

void NSUserDefaults::registerDefaults(const PropertyList::Dictionary& registrationDictionary) {
  UserDefaultsStore::shared().registerDefaults(registrationDictionary);
}

std::optional<PropertyList::Dictionary> NSUserDefaults::persistentDomainForName(
    const std::string& domainName, std::optional<NSError>* error) const {
  return UserDefaultsStore::shared().domain(domainName, error);
}

bool NSUserDefaults::setPersistentDomain(const PropertyList::Dictionary& domain,
                                         const std::string& domainName) {
  return UserDefaultsStore::shared().replaceDomain(domainName, domain);
}

bool NSUserDefaults::removePersistentDomainForName(const std::string& domainName) {
  return UserDefaultsStore::shared().replaceDomain(domainName, std::nullopt);
}
