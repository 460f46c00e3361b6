// The engine's registrars, textures, platform views and application callbacks.
#include <gtest/gtest.h>

#include "platform/appkit/ns_application.h"
#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"

namespace {

using flutter::Value;
using flutter::ValueMap;
using flutter::testing::TestDartSide;

class SolidTexture : public FlutterTexture {
 public:
  CVPixelBufferRef copyPixelBuffer() override {
    CVPixelBufferRef buffer;
    CVPixelBufferCreate(2, 2, kCVPixelFormatType_32BGRA, &buffer);
    return buffer;
  }
  void onTextureUnregistered(const std::shared_ptr<FlutterTexture>&) override { ++unregistered; }
  int unregistered = 0;
};

TEST(EngineTest, TextureIdsStartFarFromSmallCounters) {
  auto engine = FlutterEngine::create();
  auto texture = std::make_shared<SolidTexture>();
  int64_t first = engine->textureRegistry()->registerTexture(texture);
  int64_t second = engine->textureRegistry()->registerTexture(std::make_shared<SolidTexture>());
  EXPECT_GE(first, 1000);
  EXPECT_EQ(second, first + 1);
  engine->textureRegistry()->textureFrameAvailable(first);
  EXPECT_EQ(engine->textures().frameAvailableCount(first), 1);
  EXPECT_EQ(engine->textures().copyPixelBuffer(first)->width(), 2u);
  engine->textureRegistry()->unregisterTexture(first);
  EXPECT_EQ(texture->unregistered, 1);
  EXPECT_FALSE(engine->textures().isRegistered(first));
}

TEST(EngineTest, RegistrarsPublishValuesAndLookUpAssets) {
  auto engine = FlutterEngine::create();
  auto registrar = engine->registrarForPlugin("SomePlugin");
  ASSERT_NE(registrar, nullptr);
  EXPECT_EQ(engine->registrarForPlugin("SomePlugin"), nullptr);
  auto published = std::make_shared<int>(5);
  registrar->publish(published);
  EXPECT_EQ(engine->valuePublishedByPlugin("SomePlugin"), published);
  EXPECT_EQ(registrar->lookupKeyForAsset("images/a.png"), "flutter_assets/images/a.png");
  EXPECT_EQ(registrar->lookupKeyForAsset("a.png", "pkg"), "flutter_assets/packages/pkg/a.png");
  EXPECT_EQ(registrar->view(), nullptr);  // an engine without a view controller
}

class LabelFactory : public FlutterPlatformViewFactory {
 public:
  std::shared_ptr<NSView> createWithViewIdentifier(int64_t viewId, const Value& arguments) override {
    created.emplace_back(viewId, arguments);
    return std::make_shared<NSView>();
  }
  std::shared_ptr<const FlutterMessageCodec> createArgsCodec() override {
    return FlutterStandardMessageCodec::sharedInstance();
  }
  std::vector<std::pair<int64_t, Value>> created;
};

TEST(EngineTest, DartSideCreatesAndDisposesPlatformViews) {
  auto engine = FlutterEngine::create();
  TestDartSide dart(engine);
  auto factory = std::make_shared<LabelFactory>();
  dart.registrar("Views").registerViewFactory(factory, "label");
  auto params = FlutterStandardMessageCodec::sharedInstance()->encode(Value("text"));
  auto create = [&](int32_t id, const char* type) {
    return dart.invokeMethod("flutter/platform_views", "create",
                             Value(ValueMap{{Value("id"), Value(id)},
                                            {Value("viewType"), Value(type)},
                                            {Value("params"), Value(params)}}));
  };
  EXPECT_TRUE(create(3, "label").isSuccess());
  ASSERT_EQ(factory->created.size(), 1u);
  EXPECT_EQ(factory->created[0].second, Value("text"));
  EXPECT_NE(engine->platformViews().viewForIdentifier(3), nullptr);
  EXPECT_EQ(create(3, "label").error.code, "recreating_view");
  EXPECT_EQ(create(4, "missing").error.code, "unregistered_view_type");
  EXPECT_TRUE(dart.invokeMethod("flutter/platform_views", "dispose", Value(int32_t{3})).isSuccess());
  EXPECT_EQ(engine->platformViews().viewForIdentifier(3), nullptr);
}

class ProtectedDataListener : public FlutterAppLifecycleDelegate {
 public:
  void applicationProtectedDataDidBecomeAvailable(const NSNotification&) override { ++available; }
  void applicationProtectedDataWillBecomeUnavailable(const NSNotification&) override {
    ++unavailable;
  }
  int available = 0;
  int unavailable = 0;
};

TEST(EngineTest, ApplicationDelegatesHearProtectedDataNotifications) {
  auto engine = FlutterEngine::create();
  auto listener = std::make_shared<ProtectedDataListener>();
  engine->registrarForPlugin("Secure")->addApplicationDelegate(listener);
  auto center = NSNotificationCenter::defaultCenter();
  center->postNotificationName(NSApplicationProtectedDataDidBecomeAvailableNotification);
  center->postNotificationName(NSApplicationProtectedDataWillBecomeUnavailableNotification);
  EXPECT_EQ(listener->available, 1);
  EXPECT_EQ(listener->unavailable, 1);
  engine->shutDown();
  center->postNotificationName(NSApplicationProtectedDataDidBecomeAvailableNotification);
  EXPECT_EQ(listener->available, 1);
}

TEST(EngineTest, EnginesInOneProcessKeepTheirChannelsApart) {
  auto first = FlutterEngine::create();
  auto second = FlutterEngine::create();
  TestDartSide first_dart(first);
  TestDartSide second_dart(second);
  FlutterMethodChannel(std::string("who"), first->binaryMessenger())
      .setMethodCallHandler([](const FlutterMethodCall&, FlutterResult r) { r(Value("first")); });
  EXPECT_EQ(first_dart.invokeMethod("who", "x").value, Value("first"));
  EXPECT_TRUE(second_dart.invokeMethod("who", "x").isNotImplemented());
}

TEST(EngineTest, PluginsHeldByHandlersAreReleasedAtShutdown) {
  auto engine = FlutterEngine::create();
  struct Plugin : FlutterPlugin {
    std::shared_ptr<FlutterMethodChannel> channel;
  };
  auto plugin = std::make_shared<Plugin>();
  std::weak_ptr<Plugin> weak = plugin;
  auto registrar = engine->registrarForPlugin("Cycle");
  plugin->channel = FlutterMethodChannel::methodChannelWithName("cycle", registrar->messenger());
  registrar->addMethodCallDelegate(plugin, plugin->channel);  // plug-in → channel → plug-in
  plugin.reset();
  EXPECT_FALSE(weak.expired());
  engine.reset();
  EXPECT_TRUE(weak.expired());
}

class DetachCountingPlugin : public FlutterPlugin {
 public:
  void detachFromEngineForRegistrar(FlutterPluginRegistrar& registrar) override {
    ++detached;
    detached_from = &registrar;
  }
  int detached = 0;
  FlutterPluginRegistrar* detached_from = nullptr;
};

TEST(EngineTest, ShutdownDetachesEveryPluginOnceFromItsRegistrar) {
  auto engine = FlutterEngine::create();
  auto first = std::make_shared<DetachCountingPlugin>();
  auto second = std::make_shared<DetachCountingPlugin>();
  auto first_registrar = engine->registrarForPlugin("First");
  auto second_registrar = engine->registrarForPlugin("Second");
  // One plug-in behind two channels is still one plug-in.
  first_registrar->addMethodCallDelegate(
      first, FlutterMethodChannel::methodChannelWithName("first.a", first_registrar->messenger()));
  first_registrar->addMethodCallDelegate(
      first, FlutterMethodChannel::methodChannelWithName("first.b", first_registrar->messenger()));
  second_registrar->addMethodCallDelegate(
      second, FlutterMethodChannel::methodChannelWithName("second", second_registrar->messenger()));
  second_registrar.reset();  // plug-ins do not keep their registrars

  engine->shutDown();
  EXPECT_EQ(first->detached, 1);
  EXPECT_EQ(first->detached_from, first_registrar.get());
  EXPECT_EQ(second->detached, 1);
  EXPECT_NE(second->detached_from, nullptr);
  engine->shutDown();
  engine.reset();
  EXPECT_EQ(first->detached, 1);
  EXPECT_EQ(second->detached, 1);
}

}  // namespace
