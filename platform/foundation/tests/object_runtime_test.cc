// The object runtime: identity, associated objects and key-value observing.
#include <gtest/gtest.h>

#include "platform/foundation/ns_object.h"
#include "platform/foundation/testing/object_runtime_controls.h"

namespace {

class Titled : public NSObject {
 public:
  void setTitle(std::optional<std::string> title) {
    willChangeValueForKey("title");
    title_ = std::move(title);
    didChangeValueForKey("title");
  }
  AnyValue valueForKey(const std::string& key) const override {
    if (key == "title" && title_) return AnyValue(*title_);
    return AnyValue();
  }

 private:
  std::optional<std::string> title_;
};

struct Notification {
  std::optional<std::string> keyPath;
  std::shared_ptr<NSObject> object;
  std::optional<AnyValue::Dictionary> change;
  void* context;
};

class Observer : public NSObject {
 public:
  void observeValueForKeyPath(const std::optional<std::string>& keyPath,
                              const std::shared_ptr<NSObject>& object,
                              const std::optional<AnyValue::Dictionary>& change,
                              void* context) override {
    seen.push_back({keyPath, object, change, context});
  }
  std::vector<Notification> seen;
};

TEST(ObjectRuntimeTest, IdentityIsASerialThatIsNeverReused) {
  auto first = makeObject<NSObject>();
  uint64_t first_serial = first->serial();
  EXPECT_EQ(first->self(), first);
  first.reset();
  auto second = makeObject<NSObject>();
  EXPECT_GT(second->serial(), first_serial);
  EXPECT_EQ(second->description(), "<NSObject #" + std::to_string(second->serial()) + ">");
}

TEST(ObjectRuntimeTest, AssociatedObjectsGoWithTheirObject) {
  int64_t before = foundation::testing::liveObjectCount();
  auto owner = makeObject<NSObject>();
  static const char key = 0;
  auto value = makeObject<NSObject>();
  std::weak_ptr<NSObject> weak_value = value;
  EXPECT_EQ(owner->setAssociatedObject(&key, std::move(value)), nullptr);
  EXPECT_EQ(owner->associatedObject(&key), weak_value.lock());
  EXPECT_FALSE(weak_value.expired());

  auto replaced = owner->setAssociatedObject(&key, makeObject<NSObject>());
  EXPECT_EQ(replaced, weak_value.lock());
  replaced.reset();
  EXPECT_TRUE(weak_value.expired());
  owner.reset();
  EXPECT_EQ(foundation::testing::liveObjectCount(), before);
}

TEST(ObjectRuntimeTest, ObserversGetTheChangesTheirOptionsAskFor) {
  auto titled = makeObject<Titled>();
  auto observer = makeObject<Observer>();
  int context = 0;
  titled->setTitle("first");
  titled->addObserver(observer, "title",
                      NSKeyValueObservingOptionNew | NSKeyValueObservingOptionOld |
                          NSKeyValueObservingOptionInitial | NSKeyValueObservingOptionPrior,
                      &context);
  titled->setTitle(std::nullopt);

  ASSERT_EQ(observer->seen.size(), 3u);
  const auto& initial = observer->seen[0];
  EXPECT_EQ(initial.keyPath, "title");
  EXPECT_EQ(initial.object, titled);
  EXPECT_EQ(initial.context, &context);
  EXPECT_EQ(initial.change, (AnyValue::Dictionary{{NSKeyValueChangeKindKey, int64_t{1}},
                                                  {NSKeyValueChangeNewKey, "first"}}));
  EXPECT_EQ(observer->seen[1].change,
            (AnyValue::Dictionary{{NSKeyValueChangeKindKey, int64_t{1}},
                                  {NSKeyValueChangeNotificationIsPriorKey, true},
                                  {NSKeyValueChangeOldKey, "first"}}));
  EXPECT_EQ(observer->seen[2].change,
            (AnyValue::Dictionary{{NSKeyValueChangeKindKey, int64_t{1}},
                                  {NSKeyValueChangeNewKey, NSNull{}},
                                  {NSKeyValueChangeOldKey, "first"}}));

  titled->removeObserver(*observer, "title");
  titled->removeObserver(*observer, "title");  // never added any more: ignored
  titled->setTitle("third");
  EXPECT_EQ(observer->seen.size(), 3u);
}

TEST(ObjectRuntimeTest, ObserversAreNotRetainedAndSkippedOnceGone) {
  auto titled = makeObject<Titled>();
  auto observer = makeObject<Observer>();
  titled->addObserver(observer, "title", NSKeyValueObservingOptions{}, nullptr);
  std::weak_ptr<Observer> weak = observer;
  observer.reset();
  EXPECT_TRUE(weak.expired());
  titled->setTitle("unobserved");
}

}  // namespace
