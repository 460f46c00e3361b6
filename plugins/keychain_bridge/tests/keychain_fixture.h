// A keychain in a fresh temporary folder for each test, and a capture of the library's lines.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/security/security.h"
#include "platform/security/testing/security_controls.h"
#include "plugins/keychain_bridge/keychain.h"

class KeychainBridgeFixture : public ::testing::Test {
 protected:
  using SecFunction = security::testing::SecFunction;

  void SetUp() override {
    char pattern[] = "/tmp/keychain-bridge-test-XXXXXX";
    root_ = mkdtemp(pattern);
    security::testing::setKeychainDirectory(root_);
    security::testing::resetSecurityControls();
  }
  void TearDown() override {
    security::testing::setKeychainDirectory(std::nullopt);
    security::testing::resetSecurityControls();
    std::filesystem::remove_all(root_);
  }

  // Runs `body` and answers what it wrote to standard output.
  template <typename Body>
  static std::string linesOf(Body body) {
    testing::internal::CaptureStdout();
    body();
    return testing::internal::GetCapturedStdout();
  }

  static CFDictionary lastDictionary(SecFunction function) {
    auto last = security::testing::lastCall(function);
    return last ? last->dictionary : CFDictionary();
  }

  std::string root_;
};
