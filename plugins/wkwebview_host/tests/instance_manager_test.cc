// The instance manager, driven as the Dart side and the codec drive it.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_object.h"
#include "platform/foundation/testing/object_runtime_controls.h"
#include "plugins/wkwebview_host/tests/web_view_host_test_support.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_instance_manager_api.h"
#include "plugins/wkwebview_host/web_kit_library/web_kit_library_pigeon_codec.h"

namespace wkwebview_host::testing {
namespace {

using flutter::Value;
using flutter::ValueList;

constexpr const char* kRemoveStrongReference =
    "PigeonInternalInstanceManager.removeStrongReference";

class InstanceManagerTest : public WebViewHostTest {
 protected:
  InstanceManagerTest() {
    dart.setMessageHandler(
        WebKitLibraryPigeonInstanceManagerApi::kRemoveStrongReferenceChannel,
        [seen = seen](const Value& message) {
          seen->reports.push_back(message);
          seen->all_on_main_thread = seen->all_on_main_thread && dispatch::isMainThread();
          return std::optional<Value>(ValueList{});
        },
        WebKitLibraryPigeonCodec::sharedInstance());
  }

  std::optional<Value> dartRemoveStrongReference(Value identifier) {
    return dart.sendMessage(WebKitLibraryPigeonInstanceManagerApi::kRemoveStrongReferenceChannel,
                            ValueList{std::move(identifier)},
                            WebKitLibraryPigeonCodec::sharedInstance());
  }
  std::optional<Value> dartClear() {
    return dart.sendMessage(WebKitLibraryPigeonInstanceManagerApi::kClearChannel, Value(),
                            WebKitLibraryPigeonCodec::sharedInstance());
  }
  bool reported(int64_t identifier) const {
    const auto& reports = seen->reports;
    return std::find(reports.begin(), reports.end(), Value(ValueList{Value(identifier)})) !=
           reports.end();
  }

  // What the Dart side was told; it may still hear reports while the fixture goes away.
  struct Reports {
    std::vector<Value> reports;
    bool all_on_main_thread = true;
  };
  std::shared_ptr<Reports> seen = std::make_shared<Reports>();
};

TEST_F(InstanceManagerTest, HostIdentifiersCountFrom65536AndStartOverAfterClear) {
  auto first = makeObject<NSObject>();
  auto second = makeObject<NSObject>();
  EXPECT_EQ(instances().registerHostObject(first), 65536);
  EXPECT_EQ(instances().registerHostObject(second), 65537);

  EXPECT_EQ(dartClear(), Value(ValueList{Value()}));
  EXPECT_FALSE(instances().isRegistered(*first));
  EXPECT_EQ(instances().lookupObject(65536), nullptr);
  EXPECT_EQ(instances().registerHostObject(makeObject<NSObject>()), 65536);
}

TEST_F(InstanceManagerTest, DartRegistrationIsSeenAtOnceFromAnotherThread) {
  auto object = makeObject<NSObject>();
  instances().registerDartObject(object, 7);
  std::shared_ptr<NSObject> seen;
  std::thread([&] { seen = instances().lookupObject(7); }).join();
  EXPECT_EQ(seen, object);
}

TEST_F(InstanceManagerTest, RemovingTheStrongReferenceKeepsAWeakOneUntilTheObjectGoes) {
  auto object = makeObject<NSObject>();
  instances().registerDartObject(object, 7);
  EXPECT_EQ(dartRemoveStrongReference(Value(int32_t{7})), Value(ValueList{Value()}));
  EXPECT_EQ(instances().lookupObject(7), object);

  // Sending the object again holds it strongly again.
  EXPECT_EQ(instances().identifierOf(object), 7);
  std::weak_ptr<NSObject> weak = object;
  object.reset();
  ASSERT_FALSE(weak.expired());

  EXPECT_EQ(dartRemoveStrongReference(Value(int64_t{7})), Value(ValueList{Value()}));
  EXPECT_TRUE(weak.expired());
  EXPECT_TRUE(dart.runUntil([&] { return reported(7); }));
  EXPECT_EQ(instances().lookupObject(7), nullptr);
}

TEST_F(InstanceManagerTest, ObjectsThatGoOnOtherThreadsAreReportedOnTheMainThread) {
  auto object = makeObject<NSObject>();
  int64_t identifier = instances().registerHostObject(object);
  instances().dropStrongReference(identifier);
  std::thread([last = std::move(object)]() mutable { last.reset(); }).join();
  EXPECT_TRUE(dart.runUntil([&] { return reported(identifier); }));
  EXPECT_TRUE(seen->all_on_main_thread);
}

TEST_F(InstanceManagerTest, NothingIsReportedAfterClearNotEvenForDisplacedObjects) {
  auto displaced = makeObject<NSObject>();
  auto replacement = makeObject<NSObject>();
  auto host_created = makeObject<NSObject>();
  instances().registerDartObject(displaced, 3);
  instances().registerDartObject(replacement, 3);
  EXPECT_EQ(instances().lookupObject(3), replacement);
  int64_t host_identifier = instances().registerHostObject(host_created);

  // A report already on its way when the Dart side clears is dropped too.
  instances().dropStrongReference(host_identifier);
  host_created.reset();
  dartClear();
  displaced.reset();
  replacement.reset();
  dart.drain();
  EXPECT_TRUE(seen->reports.empty());

  // Identifiers are reused after a clear; the next generation reports as usual.
  auto next = makeObject<NSObject>();
  EXPECT_EQ(instances().registerHostObject(next), host_identifier);
  instances().dropStrongReference(host_identifier);
  next.reset();
  EXPECT_TRUE(dart.runUntil([&] { return reported(host_identifier); }));
}

TEST_F(InstanceManagerTest, ObjectsReleasedOnOtherThreadsWhileTheDartSideClearsAreNeverReported) {
  constexpr int kObjects = 200;
  std::vector<std::shared_ptr<NSObject>> held;
  for (int index = 0; index < kObjects; ++index) {
    auto object = makeObject<NSObject>();
    instances().dropStrongReference(instances().registerHostObject(object));
    held.push_back(std::move(object));
  }
  std::vector<std::thread> releasers;
  for (int worker = 0; worker < 4; ++worker) {
    std::vector<std::shared_ptr<NSObject>> share(held.begin() + worker * kObjects / 4,
                                                 held.begin() + (worker + 1) * kObjects / 4);
    releasers.emplace_back([share = std::move(share)]() mutable { share.clear(); });
  }
  held.clear();
  // Reports of objects that went before the clear wait on the main queue, which only runs after.
  dartClear();
  for (auto& releaser : releasers) releaser.join();
  dart.drain();
  EXPECT_TRUE(seen->reports.empty());
}

TEST_F(InstanceManagerTest, HostileMessagesAreAnsweredWithoutTouchingTheManager) {
  auto object = makeObject<NSObject>();
  instances().registerDartObject(object, 1);
  for (const Value& message :
       {Value(), Value("1"), Value(ValueList{}), Value(ValueList{Value(1.0)})}) {
    auto reply =
        dart.sendMessage(WebKitLibraryPigeonInstanceManagerApi::kRemoveStrongReferenceChannel,
                         message, WebKitLibraryPigeonCodec::sharedInstance());
    ASSERT_TRUE(reply && reply->asList() && reply->asList()->size() == 3) << message.debugString();
  }
  auto truncated =
      dart.sendBinary(WebKitLibraryPigeonInstanceManagerApi::kRemoveStrongReferenceChannel,
                      FlutterBytes{FlutterStandardFieldList, 1, FlutterStandardFieldInt64, 1})
          .wait();
  ASSERT_TRUE(truncated.has_value());
  EXPECT_EQ(WebKitLibraryPigeonCodec::sharedInstance()->decode(*truncated).asList()->front(),
            Value("malformed_message"));
  std::weak_ptr<NSObject> weak = object;
  object.reset();
  EXPECT_FALSE(weak.expired());
}

TEST_F(InstanceManagerTest, ClearReleasesEveryObjectItHeld) {
  int64_t before = foundation::testing::liveObjectCount();
  for (int64_t identifier = 1; identifier <= 5; ++identifier) {
    instances().registerDartObject(makeObject<NSObject>(), identifier);
    instances().registerHostObject(makeObject<NSObject>());
  }
  EXPECT_GT(foundation::testing::liveObjectCount(), before);
  dartClear();
  EXPECT_EQ(foundation::testing::liveObjectCount(), before);
}

TEST_F(InstanceManagerTest, AnObjectUnderASecondIdentifierReportsTheFirstAtOnce) {
  auto object = makeObject<NSObject>();
  instances().registerDartObject(object, 1);
  instances().registerDartObject(object, 2);
  EXPECT_TRUE(dart.runUntil([&] { return reported(1); }));
  EXPECT_FALSE(reported(2));
  EXPECT_EQ(instances().lookupObject(1), object);
  EXPECT_EQ(instances().lookupObject(2), object);
  EXPECT_EQ(instances().identifierOf(object), 2);
}

TEST_F(InstanceManagerTest, IdentityIsTheObjectNeverItsAddress) {
  // Both objects are built in one piece of storage, so the second surely takes the first's
  // address, and before any clean-up of the first could run on the main queue.
  alignas(NSObject) unsigned char storage[sizeof(NSObject)];
  auto inStorage = [&storage] {
    return std::shared_ptr<NSObject>(new (storage) NSObject,
                                     [](NSObject* object) { object->~NSObject(); });
  };
  auto registered = inStorage();
  instances().registerDartObject(registered, 9);
  instances().dropStrongReference(9);
  registered.reset();
  auto fresh = inStorage();
  EXPECT_FALSE(instances().isRegistered(*fresh));
  EXPECT_EQ(instances().identifierOf(fresh), std::nullopt);
  EXPECT_EQ(instances().lookupObject(9), nullptr);
}

TEST_F(InstanceManagerTest, RemovingAnUnknownIdentifierStillSucceeds) {
  EXPECT_EQ(dartRemoveStrongReference(Value(int64_t{424242})), Value(ValueList{Value()}));
  auto reply = dartRemoveStrongReference(Value("seven"));
  ASSERT_TRUE(reply && reply->asList() && reply->asList()->size() == 3) << reply->debugString();
  EXPECT_EQ(reply->asList()->front(), Value("invalid-argument"));
}

}  // namespace
}  // namespace wkwebview_host::testing

namespace wkwebview_host::testing {
namespace {

// Blocks every thread of the shared pool (as stuck databases would) until released.
class ExhaustedPool {
 public:
  explicit ExhaustedPool(int blocks) {
    for (int i = 0; i < blocks; ++i) {
      dispatch_async(dispatch_get_global_queue(DISPATCH_QUEUE_PRIORITY_DEFAULT, 0), [state = state_] {
        std::unique_lock lock(state->mutex);
        state->released.wait(lock, [&] { return state->open; });
      });
    }
  }
  ~ExhaustedPool() { release(); }
  void release() {
    std::lock_guard lock(state_->mutex);
    state_->open = true;
    state_->released.notify_all();
  }
  // Releases the pool once `patience` has passed, unless it was released before.
  void releaseAfter(std::chrono::seconds patience) {
    std::unique_lock lock(state_->mutex);
    if (!state_->released.wait_for(lock, patience, [&] { return state_->open; })) {
      state_->open = true;
      state_->released.notify_all();
    }
  }
  bool released() const {
    std::lock_guard lock(state_->mutex);
    return state_->open;
  }

 private:
  struct State {
    std::mutex mutex;
    std::condition_variable released;
    bool open = false;
  };
  std::shared_ptr<State> state_ = std::make_shared<State>();
};

TEST_F(InstanceManagerTest, ItsOperationsNeverWaitForThePool) {
  ExhaustedPool pool(200);
  // Should the main thread wait for the pool, the blocks are let go in the end, late, and the
  // operations are seen to have ended only after that.
  std::thread watchdog([&pool] { pool.releaseAfter(std::chrono::seconds(30)); });
  auto object = makeObject<NSObject>();
  instances().registerDartObject(object, 7);
  EXPECT_EQ(instances().lookupObject(7), object);
  EXPECT_EQ(dartRemoveStrongReference(Value(int64_t{7})), Value(ValueList{Value()}));
  EXPECT_EQ(dartClear(), Value(ValueList{Value()}));
  EXPECT_FALSE(pool.released());
  pool.release();
  watchdog.join();
}

}  // namespace
}  // namespace wkwebview_host::testing
