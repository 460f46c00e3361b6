// The secure-storage plug-in registered on a fresh engine, driven by the in-process Dart side,
// over a keychain in a temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/appkit/testing/window_system_controls.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/localauthentication/testing/authenticator_controls.h"
#include "platform/security/security.h"
#include "platform/security/testing/security_controls.h"
#include "plugins/secure_store_darwin/secure_store_darwin_plugin.h"

class SecureStoreFixture : public ::testing::Test {
 protected:
  using Value = flutter::Value;
  using ValueMap = flutter::ValueMap;
  using MethodReply = flutter::testing::MethodReply;
  using SecFunction = security::testing::SecFunction;

  void SetUp() override {
    char pattern[] = "/tmp/secure-store-test-XXXXXX";
    root_ = mkdtemp(pattern);
    security::testing::setKeychainDirectory(root_ + "/keychain");
    security::testing::resetSecurityControls();
    localauthentication::testing::resetAuthenticator();
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
    appkit::testing::resetWindowSystem();
    secure_store_darwin::SecureStoreDarwinPlugin::registerWithRegistrar(
        dart_.registrar("SecureStoreDarwinPlugin"));
  }

  void TearDown() override {
    dart_.drain();
    engine_->shutDown();
    security::testing::setKeychainDirectory(std::nullopt);
    security::testing::resetSecurityControls();
    foundation::testing::setEmulatedOperatingSystemVersion({15, 0, 0});
    appkit::testing::resetWindowSystem();
    std::filesystem::remove_all(root_);
  }

  static Value arguments(std::optional<std::string> key, ValueMap options = {},
                         std::optional<std::string> value = std::nullopt) {
    ValueMap map{{Value("options"), Value(std::move(options))}};
    if (key) map.set(Value("key"), Value(*key));
    if (value) map.set(Value("value"), Value(*value));
    return Value(std::move(map));
  }

  MethodReply call(const std::string& method, Value args) {
    return dart_.invokeMethod(secure_store_darwin::kMethodChannelName, method, std::move(args));
  }
  MethodReply write(const std::string& key, const std::string& value, ValueMap options = {}) {
    return call("write", arguments(key, std::move(options), value));
  }
  MethodReply read(const std::string& key, ValueMap options = {}) {
    return call("read", arguments(key, std::move(options)));
  }

  static ValueMap sealed(ValueMap options = {}) {
    options.set(Value("useSecureEnclave"), Value("true"));
    return options;
  }

  static CFBytes bytes(const std::string& text) { return CFBytes(text.begin(), text.end()); }

  // The stored items matching `filter` (any synchronizable; the data-protection keychain unless
  // the filter names the other).
  static CFArray storedItems(CFDictionary filter = {}) {
    filter.set(kSecClass, kSecClassGenericPassword);
    filter.set(kSecMatchLimit, kSecMatchLimitAll);
    filter.set(kSecReturnAttributes, true);
    filter.set(kSecReturnData, true);
    if (!filter.contains(kSecUseDataProtectionKeychain))
      filter.set(kSecUseDataProtectionKeychain, true);
    filter.set(kSecAttrSynchronizable, kSecAttrSynchronizableAny);
    CFValue result;
    if (SecItemCopyMatching(filter, &result) != errSecSuccess) return {};
    return *result.asArray();
  }

  static CFBytes storedData(const std::string& account, bool dataProtection = true) {
    auto items =
        storedItems({{kSecAttrAccount, account}, {kSecUseDataProtectionKeychain, dataProtection}});
    if (items.size() != 1) return {};
    return *items[0].asDictionary()->find(kSecValueData)->asData();
  }

  static OSStatus replaceStoredData(const std::string& account, const CFBytes& data) {
    return SecItemUpdate({{kSecClass, kSecClassGenericPassword},
                          {kSecAttrAccount, account},
                          {kSecUseDataProtectionKeychain, true}},
                         {{kSecValueData, data}});
  }

  // The dictionary of the last call of `function`.
  static CFDictionary lastDictionary(SecFunction function) {
    auto last = security::testing::lastCall(function);
    return last ? last->dictionary : CFDictionary();
  }

  std::string root_;
  std::shared_ptr<FlutterEngine> engine_ = FlutterEngine::create();
  flutter::testing::TestDartSide dart_{engine_};
};
