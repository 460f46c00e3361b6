// The secure-storage plug-in through its channels: reads and writes, argument errors, error
// shaping, option parsing, ordering and the protected-data stream.
#include <time.h>

#include <chrono>

#include "platform/appkit/ns_application.h"
#include "platform/appkit/testing/window_system_controls.h"
#include "plugins/secure_store_darwin/tests/secure_store_fixture.h"

namespace {

using SecureStorePluginTest = SecureStoreFixture;

std::chrono::nanoseconds processCpuTime() {
  timespec now{};
  ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
  return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

TEST_F(SecureStorePluginTest, MissingValuesReadAsNilAndWritesReplace) {
  EXPECT_EQ(read("absent").value, Value());
  auto nothing = call("readAll", arguments(std::nullopt));
  ASSERT_TRUE(nothing.isSuccess()) << nothing.describe();
  EXPECT_TRUE(nothing.value.isNull());

  EXPECT_TRUE(write("token", "first").isSuccess());
  EXPECT_TRUE(write("token", "second").isSuccess());
  EXPECT_EQ(read("token").value, Value("second"));
  EXPECT_EQ(storedItems().size(), 1u);
  EXPECT_EQ(call("readAll", arguments(std::nullopt)).value,
            Value(ValueMap{{Value("token"), Value("second")}}));
  EXPECT_EQ(call("containsKey", arguments("token")).value, Value(true));

  EXPECT_TRUE(call("delete", arguments("token")).isSuccess());
  EXPECT_TRUE(call("delete", arguments("token")).isSuccess());
  EXPECT_EQ(call("containsKey", arguments("token")).value, Value(false));
  EXPECT_TRUE(dart_.invokeMethod(secure_store_darwin::kMethodChannelName, "READ", arguments("k"))
                  .isNotImplemented());
}

TEST_F(SecureStorePluginTest, MissingOrMalformedArgumentsAreAnsweredWithErrors) {
  auto expectMissing = [&](const std::string& method, Value args, const std::string& message) {
    auto reply = call(method, std::move(args));
    ASSERT_TRUE(reply.isError()) << method;
    EXPECT_EQ(reply.error.code, "Missing Parameter");
    EXPECT_EQ(reply.error.message, message);
    EXPECT_TRUE(reply.error.details.isNull());
  };
  expectMissing("read", arguments(std::nullopt), "read requires key parameter");
  expectMissing("write", arguments("k"), "write requires key and value parameters");
  expectMissing("write", arguments(std::nullopt, {}, "v"),
                "write requires key and value parameters");
  expectMissing("delete", arguments(std::nullopt), "delete requires key parameter");
  expectMissing("containsKey", arguments(std::nullopt), "containsKey requires key parameter");
  // A key that is not a string is no key.
  expectMissing("read", Value(ValueMap{{Value("key"), Value(int32_t{7})}}),
                "read requires key parameter");

  for (Value bad : {Value(), Value("key"), Value(ValueMap{{Value(int32_t{1}), Value("k")}})}) {
    auto reply = call("readAll", bad);
    ASSERT_TRUE(reply.isError());
    EXPECT_EQ(reply.error.code, "Invalid Arguments");
  }
  // Options of the wrong type count as none.
  EXPECT_TRUE(call("write", Value(ValueMap{{Value("key"), Value("k")},
                                           {Value("value"), Value("v")},
                                           {Value("options"), Value("not a map")}}))
                  .isSuccess());
  EXPECT_EQ(read("k", {{Value("accountName"), Value(int32_t{3})}}).value, Value("v"));
}

TEST_F(SecureStorePluginTest, KeychainFailuresAreShapedWithTheSystemMessage) {
  security::testing::failNextCall(SecFunction::itemCopyMatching, errSecNotAvailable);
  auto failed = read("k");
  ASSERT_TRUE(failed.isError());
  EXPECT_EQ(failed.error.code, "Unexpected security result code");
  EXPECT_EQ(failed.error.message,
            "Code: -25291, Message: No keychain is available. You may need to restart your "
            "computer.");
  EXPECT_EQ(failed.error.details, Value(int32_t{-25291}));

  security::testing::failNextCall(SecFunction::itemCopyMatching, errSecIO);
  EXPECT_EQ(read("k").error.message, "Code: -36, Message: I/O error (bummers)");

  security::testing::failNextCall(SecFunction::itemCopyMatching, 12345);
  EXPECT_EQ(read("k").error.message, "Unknown security result code: 12345");

  security::testing::failNextCall(SecFunction::itemCopyMatching, errSecInteractionNotAllowed);
  auto contains = call("containsKey", arguments("k"));
  EXPECT_EQ(contains.error.code, "Unexpected security result code");
  EXPECT_EQ(contains.error.message, "User interaction is not allowed.");
  EXPECT_EQ(contains.error.details, Value(int32_t{-25308}));

  auto unknown_ui = read("k", {{Value("authenticationUIBehavior"), Value("sometimes")}});
  EXPECT_EQ(unknown_ui.error.details, Value(int32_t{errSecParam}));
  EXPECT_EQ(unknown_ui.error.message,
            "Code: -50, Message: One or more parameters passed to a function were not valid.");
  // Contradicting options fail validation before any keychain call.
  auto contradiction = write(
      "k", "v", {{Value("isHidden"), Value("true")}, {Value("isPlaceholder"), Value("true")}});
  EXPECT_EQ(contradiction.error.details, Value(int32_t{errSecParam}));
}

TEST_F(SecureStorePluginTest, OptionsShapeTheKeychainQueries) {
  write("a", "1");
  CFDictionary added = lastDictionary(SecFunction::itemAdd);
  EXPECT_EQ(*added.find(kSecUseDataProtectionKeychain), CFValue(true));
  EXPECT_EQ(added.find(kSecAttrService), nullptr);
  EXPECT_EQ(added.find(kSecAttrSynchronizable), nullptr);
  EXPECT_EQ(added.find(kSecAttrAccessible), nullptr);

  write("b", "2",
        {{Value("usesDataProtectionKeychain"), Value("yes")},
         {Value("synchronizable"), Value("yes")},
         {Value("accountName"), Value("svc")},
         {Value("accessibility"), Value("unlocked_this_device")},
         {Value("label"), Value("L")},
         {Value("description"), Value("D")},
         {Value("comment"), Value("C")}});
  added = lastDictionary(SecFunction::itemAdd);
  EXPECT_EQ(*added.find(kSecUseDataProtectionKeychain), CFValue(true));
  EXPECT_EQ(added.find(kSecAttrSynchronizable), nullptr);
  EXPECT_EQ(*added.find(kSecAttrService), CFValue("svc"));
  EXPECT_EQ(*added.find(kSecAttrAccessible), CFValue(kSecAttrAccessibleWhenUnlockedThisDeviceOnly));
  EXPECT_EQ(*added.find(kSecAttrLabel), CFValue("L"));
  EXPECT_EQ(*added.find(kSecAttrDescription), CFValue("D"));
  EXPECT_EQ(*added.find(kSecAttrComment), CFValue("C"));

  write("c", "3",
        {{Value("usesDataProtectionKeychain"), Value("false")},
         {Value("synchronizable"), Value("false")},
         {Value("accessibility"), Value("someday")}});
  added = lastDictionary(SecFunction::itemAdd);
  EXPECT_EQ(added.find(kSecUseDataProtectionKeychain), nullptr);
  EXPECT_EQ(*added.find(kSecAttrSynchronizable), CFValue(false));
  EXPECT_EQ(*added.find(kSecAttrAccessible), CFValue(kSecAttrAccessibleWhenUnlocked));

  // Both spellings of a flag list give one access control, which replaces accessibility and
  // synchronization.
  std::vector<CFValue> access_controls;
  for (const char* flags :
       {"[userPresence, or, devicePasscode]", "userPresence,or,devicePasscode"}) {
    write(std::string("d") + flags, "4",
          {{Value("accessControlFlags"), Value(flags)},
           {Value("accessibility"), Value("passcode")},
           {Value("synchronizable"), Value("true")}});
    added = lastDictionary(SecFunction::itemAdd);
    ASSERT_NE(added.find(kSecAttrAccessControl), nullptr);
    EXPECT_EQ(added.find(kSecAttrAccessible), nullptr);
    EXPECT_EQ(added.find(kSecAttrSynchronizable), nullptr);
    access_controls.push_back(*added.find(kSecAttrAccessControl));
  }
  EXPECT_EQ(access_controls[0], access_controls[1]);
  auto access_control = access_controls[0].asAccessControl();
  EXPECT_EQ(access_control->flags(),
            kSecAccessControlUserPresence | kSecAccessControlOr | kSecAccessControlDevicePasscode);
  EXPECT_EQ(access_control->protection(), kSecAttrAccessibleWhenPasscodeSetThisDeviceOnly);

  write("e", "5",
        {{Value("accessControlFlags"), Value("[]")}, {Value("accessibility"), Value("passcode")}});
  added = lastDictionary(SecFunction::itemAdd);
  ASSERT_NE(added.find(kSecAttrAccessControl), nullptr);
  EXPECT_EQ(added.find(kSecAttrAccessControl)->asAccessControl()->flags(), 0u);

  foundation::testing::setEmulatedOperatingSystemVersion({10, 14, 0});
  write("f", "6");
  EXPECT_EQ(lastDictionary(SecFunction::itemAdd).find(kSecUseDataProtectionKeychain), nullptr);
}

TEST_F(SecureStorePluginTest, AWriteOfAnExistingKeyReplacesItsValueAndAttributes) {
  auto item = [&](const std::string& key) {
    auto items = storedItems({{kSecAttrAccount, key}});
    EXPECT_EQ(items.size(), 1u) << key;
    return items.empty() ? CFDictionary() : *items[0].asDictionary();
  };
  // Whatever synchronizable kind the item has, a write of its key finds it.
  ASSERT_TRUE(write("synced", "1", {{Value("synchronizable"), Value("true")}}).isSuccess());
  auto unsaid = write("synced", "2");
  ASSERT_TRUE(unsaid.isSuccess()) << unsaid.describe();
  EXPECT_EQ(*item("synced").find(kSecValueData), CFValue(bytes("2")));
  EXPECT_EQ(*item("synced").find(kSecAttrSynchronizable), CFValue(true));
  auto unsynced = write("synced", "3", {{Value("synchronizable"), Value("false")}});
  ASSERT_TRUE(unsynced.isSuccess()) << unsynced.describe();
  EXPECT_EQ(*item("synced").find(kSecAttrSynchronizable), CFValue(false));
  EXPECT_EQ(read("synced").value, Value("3"));

  auto options = [](const char* text, const char* accessibility) {
    return ValueMap{{Value("label"), Value(text)},
                    {Value("description"), Value(text)},
                    {Value("comment"), Value(text)},
                    {Value("accessibility"), Value(accessibility)}};
  };
  ASSERT_TRUE(write("k", "1", options("old", "unlocked")).isSuccess());
  auto replaced = write("k", "2", options("new", "first_unlock"));
  ASSERT_TRUE(replaced.isSuccess()) << replaced.describe();
  CFDictionary stored = item("k");
  EXPECT_EQ(*stored.find(kSecValueData), CFValue(bytes("2")));
  EXPECT_EQ(*stored.find(kSecAttrLabel), CFValue("new"));
  EXPECT_EQ(*stored.find(kSecAttrDescription), CFValue("new"));
  EXPECT_EQ(*stored.find(kSecAttrComment), CFValue("new"));
  EXPECT_EQ(*stored.find(kSecAttrAccessible), CFValue(kSecAttrAccessibleAfterFirstUnlock));

  // An access control replaces the accessibility, and a plain accessibility replaces it again.
  ASSERT_TRUE(write("k", "3",
                    {{Value("accessControlFlags"), Value("userPresence")},
                     {Value("accessibility"), Value("passcode")}})
                  .isSuccess());
  ASSERT_NE(item("k").find(kSecAttrAccessControl), nullptr);
  ASSERT_TRUE(write("k", "4", {{Value("accessibility"), Value("unlocked")}}).isSuccess());
  EXPECT_EQ(item("k").find(kSecAttrAccessControl), nullptr);
  EXPECT_EQ(read("k").value, Value("4"));
  EXPECT_EQ(storedItems().size(), 2u);
}

TEST_F(SecureStorePluginTest, DeleteAllRemovesBothSynchronizableKinds) {
  write("synced", "1", {{Value("synchronizable"), Value("true")}});
  write("local", "2");
  write("other service", "3", {{Value("accountName"), Value("elsewhere")}});
  EXPECT_TRUE(
      call("deleteAll", arguments(std::nullopt, {{Value("accountName"), Value("elsewhere")}}))
          .isSuccess());
  EXPECT_EQ(storedItems().size(), 2u);
  EXPECT_TRUE(call("deleteAll", arguments(std::nullopt)).isSuccess());
  EXPECT_TRUE(storedItems().empty());
  EXPECT_TRUE(call("deleteAll", arguments(std::nullopt)).isSuccess());

  // The synchronized pass succeeds, the other fails: the deletion as a whole failed.
  write("synced", "1", {{Value("synchronizable"), Value("true")}});
  write("local", "2");
  security::testing::failNextCall(SecFunction::itemDelete, errSecNotAvailable, 1);
  auto failed = call("deleteAll", arguments(std::nullopt));
  ASSERT_TRUE(failed.isError());
  EXPECT_EQ(failed.error.details, Value(int32_t{errSecNotAvailable}));
  EXPECT_EQ(read("local").value, Value("2"));
  security::testing::failNextCall(SecFunction::itemDelete, errSecNotAvailable, 0);
  EXPECT_TRUE(call("delete", arguments("local")).isError());
}

TEST_F(SecureStorePluginTest, AnswersComeInTheOrderTheCallsWereSent) {
  std::vector<flutter::testing::TestDartSide::PendingCall> pending;
  for (int i = 0; i < 8; ++i) {
    pending.push_back(dart_.invokeMethodAsync(secure_store_darwin::kMethodChannelName, "write",
                                              arguments("k", {}, std::to_string(i))));
    pending.push_back(
        dart_.invokeMethodAsync(secure_store_darwin::kMethodChannelName, "read", arguments("k")));
  }
  auto last = pending.back().wait();
  for (size_t i = 0; i < pending.size(); ++i) ASSERT_TRUE(pending[i].ready()) << i;
  for (int i = 0; i < 8; ++i) EXPECT_EQ(pending[2 * i + 1].wait().value, Value(std::to_string(i)));
}

TEST_F(SecureStorePluginTest, ReadAllOfManyItemsCostsInProportionToThem) {
  ASSERT_TRUE(write("seed", "value").isSuccess());
  CFDictionary added = lastDictionary(SecFunction::itemAdd);
  security::testing::setCallRecording(false);
  auto addItems = [&](int from, int to) {
    return security::performKeychainTransaction([&] {
      for (int i = from; i < to; ++i) {
        added.set(kSecAttrAccount, "key-" + std::to_string(i));
        if (OSStatus status = SecItemAdd(added, nullptr)) return status;
      }
      return errSecSuccess;
    });
  };
  // The process's CPU time of one "readAll" (the plug-in works on a thread of this process), so
  // that a busy machine slows both readings alike.
  auto readAllCost = [&](size_t expected) {
    const auto started = processCpuTime();
    auto all = dart_
                   .invokeMethodAsync(secure_store_darwin::kMethodChannelName, "readAll",
                                      arguments(std::nullopt))
                   .wait(std::chrono::seconds(120));
    const auto cost = processCpuTime() - started;
    EXPECT_TRUE(all.isSuccess()) << all.describe();
    EXPECT_EQ(all.value.asMap() ? all.value.asMap()->size() : 0, expected);
    return cost;
  };
  constexpr int kFew = 2000;
  constexpr int kMany = 20000;
  ASSERT_EQ(addItems(0, kFew), errSecSuccess);
  const auto few = readAllCost(size_t{kFew} + 1);
  ASSERT_EQ(addItems(kFew, kMany), errSecSuccess);
  const auto many = readAllCost(size_t{kMany} + 1);
  // Ten times the items: linear work costs some ten times as much, quadratic work a hundred.
  EXPECT_LT(many, few * 35 + std::chrono::milliseconds(200))
      << "few: " << few.count() << " ns, many: " << many.count() << " ns";
}

TEST_F(SecureStorePluginTest, ProtectedDataIsTheApplicationsFlagAndItsChangesAreStreamed) {
  const std::string events = secure_store_darwin::kEventChannelName;
  EXPECT_EQ(call("isProtectedDataAvailable", Value()).value, Value(true));
  appkit::testing::setProtectedDataAvailable(false);
  EXPECT_TRUE(dart_.events(events).empty());
  EXPECT_EQ(call("isProtectedDataAvailable", Value()).value, Value(false));
  // A notification alone says nothing about the flag.
  NSNotificationCenter::defaultCenter()->postNotificationName(
      NSApplicationProtectedDataDidBecomeAvailableNotification);
  EXPECT_EQ(call("isProtectedDataAvailable", Value()).value, Value(false));

  ASSERT_TRUE(dart_.listen(events).isSuccess());
  appkit::testing::setProtectedDataAvailable(true);
  appkit::testing::setProtectedDataAvailable(false);
  ASSERT_TRUE(dart_.waitForEvents(events, 2));
  EXPECT_EQ(dart_.events(events)[0].value(), Value(true));
  EXPECT_EQ(dart_.events(events)[1].value(), Value(false));

  ASSERT_TRUE(dart_.cancel(events).isSuccess());
  appkit::testing::setProtectedDataAvailable(true);
  dart_.drain();
  EXPECT_EQ(dart_.events(events).size(), 2u);
  EXPECT_EQ(call("isProtectedDataAvailable", Value()).value, Value(true));

  ASSERT_TRUE(dart_.listen(events).isSuccess());
  ASSERT_TRUE(dart_.listen(events).isSuccess());
  appkit::testing::setProtectedDataAvailable(false);
  ASSERT_TRUE(dart_.waitForEvents(events, 3));
  dart_.drain();
  EXPECT_EQ(dart_.events(events).size(), 3u);

  // Before macOS 12 there is no flag to read: data counts as available.
  foundation::testing::setEmulatedOperatingSystemVersion({11, 0, 0});
  EXPECT_EQ(call("isProtectedDataAvailable", Value()).value, Value(true));
}

}  // namespace
