// The device-identifier plug-in through its channel.
#include "plugins/device_udid/device_udid_plugin.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>
#include <vector>

#include "platform/dispatch/dispatch.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/property_list.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/iokit/io_kit_lib.h"
#include "platform/iokit/testing/platform_uuid_controls.h"
#include "platform/security/security.h"
#include "platform/security/testing/security_controls.h"
#include "plugins/keychain_bridge/keychain.h"

namespace {

using flutter::Value;
using flutter::testing::MethodReply;
using flutter::testing::TestDartSide;
using keychain_bridge::Keychain;
using security::testing::SecFunction;

constexpr const char* kMachineId = "0123456789abcdef0123456789abcdef";

class DeviceUdidTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/device-udid-test-XXXXXX";
    root_ = mkdtemp(pattern);
    security::testing::setKeychainDirectory(root_ + "/keychain");
    security::testing::resetSecurityControls();
    std::ofstream(root_ + "/machine-id") << kMachineId << "\n";
    iokit::testing::setMachineIdPath(root_ + "/machine-id");
    iokit::testing::resetPlatformUUIDReadCount();
    launch();
  }
  void TearDown() override {
    dart_.reset();
    engine_.reset();
    security::testing::setKeychainDirectory(std::nullopt);
    security::testing::resetSecurityControls();
    iokit::testing::setMachineIdPath(std::nullopt);
    foundation::testing::setMainBundlePath(std::nullopt);
    std::filesystem::remove_all(root_);
  }

  // A fresh engine with the plug-in, and the keychain opened afresh, as after a relaunch.
  void launch() {
    dart_.reset();
    engine_ = FlutterEngine::create();
    dart_ = std::make_unique<TestDartSide>(engine_);
    device_udid::DeviceUdidPlugin::registerWithRegistrar(dart_->registrar("DeviceUdidPlugin"));
    security::testing::closeKeychain();
  }

  MethodReply getUDID(Value arguments = Value()) {
    return dart_->invokeMethod(device_udid::kChannelName, "getUDID", std::move(arguments));
  }

  static std::string platformUUID() {
    io_service_t service = IOServiceGetMatchingService(kIOMasterPortDefault,
                                                       IOServiceMatching("IOPlatformExpertDevice"));
    auto uuid = IORegistryEntryCreateCFProperty(service, kIOPlatformUUIDKey);
    IOObjectRelease(service);
    return uuid.value_or("");
  }

  // A main bundle whose information dictionary holds `info`.
  void useBundle(PropertyList::Dictionary info) {
    std::filesystem::create_directories(root_ + "/App.app/Contents");
    ASSERT_TRUE(PropertyList(std::move(info))
                    .writeFile(root_ + "/App.app/Contents/Info.plist", PropertyList::Format::xml));
    foundation::testing::setMainBundlePath(root_ + "/App.app");
  }

  static void expectUnavailable(const MethodReply& reply, const std::string& details) {
    ASSERT_TRUE(reply.isError()) << reply.describe();
    EXPECT_EQ(reply.error.code, "UNAVAILABLE");
    EXPECT_EQ(reply.error.message, "UDID not available");
    EXPECT_EQ(reply.error.details, Value(details));
  }

  std::string root_;
  std::shared_ptr<FlutterEngine> engine_;
  std::unique_ptr<TestDartSide> dart_;
};

Keychain currentItem() {
  return Keychain::withService("com.velmora.device_udid").synchronizable(false);
}

TEST_F(DeviceUdidTest, TheFirstRequestStoresThePlatformUuidForEveryLaterOne) {
  auto first = getUDID();
  ASSERT_TRUE(first.isSuccess()) << first.describe();
  std::string uuid = *first.value.asString();
  EXPECT_EQ(uuid.size(), 36u);
  EXPECT_EQ(currentItem().get("udid").value(), uuid);
  EXPECT_EQ(iokit::testing::platformUUIDReadCount(), 1);

  EXPECT_EQ(getUDID(Value("ignored")).value, Value(uuid));
  EXPECT_EQ(iokit::testing::platformUUIDReadCount(), 1);

  launch();
  std::ofstream(root_ + "/machine-id") << "fedcba9876543210fedcba9876543210\n";
  EXPECT_EQ(getUDID().value, Value(uuid));
  EXPECT_EQ(iokit::testing::openObjectCount(), 0u);
}

TEST_F(DeviceUdidTest, AnEmptyStoredIdentifierIsRefilledThroughAnUpdate) {
  ASSERT_TRUE(currentItem().set("", "udid").ok());
  auto reply = getUDID();
  ASSERT_TRUE(reply.isSuccess());
  EXPECT_FALSE(reply.value.asString()->empty());
  EXPECT_EQ(security::testing::recordedCalls(SecFunction::itemAdd).size(), 1u);
  EXPECT_EQ(security::testing::recordedCalls(SecFunction::itemUpdate).size(), 1u);
  EXPECT_EQ(currentItem().get("udid").value(), *reply.value.asString());
}

TEST_F(DeviceUdidTest, AnOlderIdentifierIsCarriedOverAndLeftInPlace) {
  // Without bundle information the older item is "device_udid" / "com.default.app".
  Keychain fallback = Keychain::withService("device_udid").synchronizable(false);
  ASSERT_TRUE(fallback.set("OLD-FALLBACK", "com.default.app").ok());
  EXPECT_EQ(getUDID().value, Value("OLD-FALLBACK"));
  EXPECT_EQ(fallback.get("com.default.app").value(), "OLD-FALLBACK");
  EXPECT_EQ(currentItem().get("udid").value(), "OLD-FALLBACK");
  EXPECT_EQ(iokit::testing::platformUUIDReadCount(), 0);

  ASSERT_TRUE(currentItem().remove("udid").ok());
  useBundle({{"CFBundleIdentifier", "com.example.app"},
             {device_udid::kLegacyServiceInfoKey, "legacy.service"}});
  Keychain named = Keychain::withService("legacy.service").synchronizable(false);
  ASSERT_TRUE(named.set("OLD-NAMED", "com.example.app").ok());
  EXPECT_EQ(getUDID().value, Value("OLD-NAMED"));

  // An empty older value is ignored.
  ASSERT_TRUE(currentItem().remove("udid").ok());
  ASSERT_TRUE(named.set("", "com.example.app").ok());
  EXPECT_EQ(getUDID().value, Value(platformUUID()));
}

TEST_F(DeviceUdidTest, EachFailingStepIsNamedInTheDetails) {
  security::testing::failNextCall(SecFunction::itemCopyMatching, errSecNotAvailable);
  expectUnavailable(getUDID(),
                    "keychain_get_failed: No keychain is available. You may need to restart your "
                    "computer.");

  // The second search reads the older item.
  security::testing::failNextCall(SecFunction::itemCopyMatching, errSecAuthFailed, 1);
  expectUnavailable(getUDID(),
                    "keychain_migration_failed: The user name or passphrase you entered is not "
                    "correct.");

  security::testing::failNextCall(SecFunction::itemAdd, errSecDuplicateItem);
  expectUnavailable(getUDID(),
                    "keychain_set_failed: The specified item already exists in the keychain.");
  EXPECT_EQ(currentItem().get("udid").value(), std::nullopt);

  iokit::testing::setMachineIdPath(root_ + "/missing");
  expectUnavailable(getUDID(), "hardwareUUID returned nil or empty");
  std::ofstream(root_ + "/malformed") << "not a machine id\n";
  iokit::testing::setMachineIdPath(root_ + "/malformed");
  expectUnavailable(getUDID(), "hardwareUUID returned nil or empty");

  ASSERT_TRUE(currentItem().set(CFBytes{0xFF}, "udid").ok());
  expectUnavailable(getUDID(), "keychain_get_failed: A conversion error has occurred.");
  EXPECT_EQ(currentItem().getData("udid").value(), CFBytes{0xFF});
}

TEST_F(DeviceUdidTest, ABusyKeychainNeverHoldsTheMainThreadAndAnswersComeInOrder) {
  ASSERT_TRUE(getUDID().isSuccess());
  // Another process holds the keychain's database: every keychain call waits for it.
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(security::testing::keychainFilePath().c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  security::testing::failNextCall(SecFunction::itemCopyMatching, errSecNotAvailable);

  const auto started = std::chrono::steady_clock::now();
  std::vector<TestDartSide::PendingCall> calls;
  for (int i = 0; i < 3; ++i) {
    calls.push_back(dart_->invokeMethodAsync(device_udid::kChannelName, "getUDID"));
  }
  bool other_work_ran = false;
  dispatch_async(dispatch_get_main_queue(), [&] { other_work_ran = true; });
  ASSERT_TRUE(dart_->runUntil([&] { return other_work_ran; }));
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
  EXPECT_FALSE(calls[1].ready());

  sqlite3_exec(holder, "COMMIT", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  // The first request ran first; each answer arrives no later than those after it.
  ASSERT_TRUE(dart_->runUntil([&] { return calls[2].ready(); }));
  EXPECT_TRUE(calls[0].ready() && calls[1].ready());
  EXPECT_TRUE(calls[0].wait().isError());
  EXPECT_TRUE(calls[1].wait().isSuccess()) << calls[1].wait().describe();
  EXPECT_EQ(calls[1].wait().value, calls[2].wait().value);
}

TEST_F(DeviceUdidTest, EachRequestWaitsForABusyKeychainAtMostItsOwnFiveSeconds) {
  ASSERT_TRUE(getUDID().isSuccess());
  sqlite3* holder = nullptr;
  ASSERT_EQ(sqlite3_open(security::testing::keychainFilePath().c_str(), &holder), SQLITE_OK);
  ASSERT_EQ(sqlite3_exec(holder, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
  // Other keychain calls of this process queued first, each waiting for the lock itself.
  std::vector<std::thread> others;
  for (int i = 0; i < 2; ++i) {
    others.emplace_back([] { (void)currentItem().get("other", true); });
  }
  std::vector<TestDartSide::PendingCall> calls;
  const auto sent = std::chrono::steady_clock::now();
  for (int i = 0; i < 3; ++i) {
    calls.push_back(dart_->invokeMethodAsync(device_udid::kChannelName, "getUDID"));
  }
  ASSERT_TRUE(dart_->runUntil([&] { return calls[2].ready(); }, std::chrono::seconds(60)));
  const auto waited = std::chrono::steady_clock::now() - sent;
  sqlite3_exec(holder, "ROLLBACK", nullptr, nullptr, nullptr);
  sqlite3_close(holder);
  for (auto& other : others) other.join();
  // Five seconds of its own wait, and slack for a busy machine; queued, they took 15 and more.
  EXPECT_LT(waited, std::chrono::seconds(9));
  for (auto& call : calls) {
    expectUnavailable(call.wait(), "keychain_get_failed: I/O error (bummers)");
  }
  EXPECT_TRUE(getUDID().isSuccess());
}

TEST_F(DeviceUdidTest, OtherMethodsAreNotImplemented) {
  for (const char* method : {"getudid", "GETUDID", "getUdid", ""}) {
    EXPECT_TRUE(dart_->invokeMethod(device_udid::kChannelName, method).isNotImplemented())
        << method;
  }
}

}  // namespace
