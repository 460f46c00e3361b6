// A keychain in a fresh temporary folder for each test, with every control reset.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/localauthentication/local_authentication.h"
#include "platform/localauthentication/testing/authenticator_controls.h"
#include "platform/security/security.h"
#include "platform/security/testing/security_controls.h"

class KeychainFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/keychain-test-XXXXXX";
    root_ = mkdtemp(pattern);
    directory_ = root_ + "/app.id";
    security::testing::setKeychainDirectory(directory_);
    security::testing::resetSecurityControls();
    localauthentication::testing::resetAuthenticator();
  }
  void TearDown() override {
    security::testing::setKeychainDirectory(std::nullopt);
    security::testing::resetSecurityControls();
    localauthentication::testing::resetAuthenticator();
    std::filesystem::remove_all(root_);
  }

  static CFBytes bytes(const std::string& text) { return CFBytes(text.begin(), text.end()); }

  static CFDictionary password(const std::string& account, const std::string& value,
                               CFDictionary extra = {}) {
    CFDictionary item{{kSecClass, kSecClassGenericPassword},
                      {kSecAttrAccount, account},
                      {kSecValueData, bytes(value)}};
    for (const auto& [key, entry] : extra) item.set(key, entry);
    return item;
  }

  static OSStatus add(const std::string& account, const std::string& value,
                      CFDictionary extra = {}) {
    return SecItemAdd(password(account, value, std::move(extra)), nullptr);
  }

  // The data of the one item matching `query` (a generic password unless it says otherwise).
  static std::optional<std::string> readData(CFDictionary query, OSStatus* status = nullptr) {
    if (!query.contains(kSecClass)) query.set(kSecClass, kSecClassGenericPassword);
    query.set(kSecReturnData, true);
    CFValue result;
    OSStatus answered = SecItemCopyMatching(query, &result);
    if (status != nullptr) *status = answered;
    if (answered != errSecSuccess || result.asData() == nullptr) return std::nullopt;
    return std::string(result.asData()->begin(), result.asData()->end());
  }

  static size_t count(CFDictionary query) {
    if (!query.contains(kSecClass)) query.set(kSecClass, kSecClassGenericPassword);
    query.set(kSecMatchLimit, kSecMatchLimitAll);
    query.set(kSecReturnAttributes, true);
    CFValue result;
    if (SecItemCopyMatching(query, &result) != errSecSuccess) return 0;
    return result.asArray() != nullptr ? result.asArray()->size() : 0;
  }

  std::string root_;
  std::string directory_;
};
