// Registration, the platform views, the external lookup and the asset lookup.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "platform/webkit/webkit.h"
#include "plugins/wkwebview_host/flutter_asset_manager.h"
#include "plugins/wkwebview_host/hwv_web_view_external_api.h"
#include "plugins/wkwebview_host/tests/web_view_host_test_support.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_instance_manager_api.h"
#include "plugins/wkwebview_host/web_kit_library/web_kit_library_pigeon_codec.h"

namespace wkwebview_host::testing {
namespace {

namespace fs = std::filesystem;
using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

class WebViewHostPluginTest : public WebViewHostTest {
 protected:
  flutter::testing::MethodReply createPlatformView(int64_t viewId, const Value& params) {
    ValueMap arguments{
        {Value("id"), Value(viewId)},
        {Value("viewType"), Value(WebViewHostPlugin::kViewType)},
        {Value("params"), FlutterStandardMessageCodec::sharedInstance()->encode(params)}};
    return dart.invokeMethod(flutter::kPlatformViewsChannel, "create", arguments);
  }
};

TEST_F(WebViewHostPluginTest, RegistrationSetsUpTheApisAndPublishesThePlugin) {
  ASSERT_NE(plugin, nullptr);
  ASSERT_NE(plugin->proxyApiRegistrar(), nullptr);
  EXPECT_FALSE(registrar().ignoreCallsToDart());
  EXPECT_EQ(dart.sendMessage(WebKitLibraryPigeonInstanceManagerApi::kClearChannel, Value(),
                             WebKitLibraryPigeonCodec::sharedInstance()),
            Value(ValueList{Value()}));
  EXPECT_TRUE(engine->platformViews().hasFactory("com.velmora.host/webview"));
}

TEST_F(WebViewHostPluginTest, PlatformViewsShowTheWebViewOfTheIdentifierOfEitherWidth) {
  auto web_view = makeObject<WKWebView>(CGRectZero, nullptr);
  instances().registerDartObject(web_view, 4);
  instances().registerDartObject(makeObject<WKPreferences>(), 5);

  EXPECT_TRUE(createPlatformView(1, Value(int32_t{4})).isSuccess());
  EXPECT_TRUE(createPlatformView(2, Value(int64_t{4})).isSuccess());
  EXPECT_EQ(engine->platformViews().viewForIdentifier(1), web_view);
  EXPECT_EQ(engine->platformViews().viewForIdentifier(2), web_view);

  // No view to show: a clear failure, never a crash.
  for (const Value& params : {Value(int64_t{5}), Value(int64_t{77}), Value("4")}) {
    auto reply = createPlatformView(3, params);
    ASSERT_TRUE(reply.isError()) << params.debugString();
    EXPECT_EQ(reply.error.code, "creation_failed");
  }
}

TEST_F(WebViewHostPluginTest, OtherNativeCodeFindsOnlyWebViews) {
  auto web_view = makeObject<WKWebView>(CGRectZero, nullptr);
  instances().registerDartObject(web_view, 8);
  instances().registerDartObject(makeObject<WKPreferences>(), 9);
  EXPECT_EQ(HWVWebViewExternalAPI::webViewForIdentifier(8, *engine), web_view);
  EXPECT_EQ(HWVWebViewExternalAPI::webViewForIdentifier(9, *engine), nullptr);
  EXPECT_EQ(HWVWebViewExternalAPI::webViewForIdentifier(10, *engine), nullptr);

  auto other_engine = FlutterEngine::create();
  EXPECT_EQ(HWVWebViewExternalAPI::webViewForIdentifier(8, *other_engine), nullptr);

  plugin->detachFromEngine();
  EXPECT_EQ(HWVWebViewExternalAPI::webViewForIdentifier(8, *engine), nullptr);
}

TEST_F(WebViewHostPluginTest, DetachingRemovesTheHandlersAndForgetsEveryObject) {
  auto manager = plugin->proxyApiRegistrar()->instanceManager();
  auto object = makeObject<WKPreferences>();
  instances().registerDartObject(object, 3);
  plugin->detachFromEngine();
  EXPECT_EQ(plugin->proxyApiRegistrar(), nullptr);
  EXPECT_FALSE(manager->isRegistered(*object));
  EXPECT_EQ(dart.sendMessage(WebKitLibraryPigeonInstanceManagerApi::kClearChannel, Value(),
                             WebKitLibraryPigeonCodec::sharedInstance()),
            std::nullopt);
}

class FlutterAssetManagerTest : public ::testing::Test {
 protected:
  FlutterAssetManagerTest() {
    fs::create_directories(bundle_path / "Contents/Resources/flutter_assets/site");
    std::ofstream(bundle_path / "Contents/Resources/flutter_assets/site/index.html") << "<p>";
  }
  ~FlutterAssetManagerTest() override { fs::remove_all(root); }

  fs::path root = fs::path(::testing::TempDir()) / ("assets_" + std::to_string(getpid()));
  fs::path bundle_path = root / "My App.app";
  FlutterAssetManager assets{std::make_shared<NSBundle>(bundle_path.string()), "flutter_assets/"};
};

TEST_F(FlutterAssetManagerTest, AssetsAreFoundInTheBundleOrNamedRelativeToIt) {
  std::string bundle_url = "file://" + root.string() + "/My%20App.app/";
  EXPECT_EQ(assets.urlForAsset("site/index.html"),
            bundle_url + "Contents/Resources/flutter_assets/site/index.html");
  // Not a resource: the key relative to the bundle's own URL, when something is there.
  fs::create_directories(bundle_path / "flutter_assets/other");
  std::ofstream(bundle_path / "flutter_assets/other/a.js") << "1";
  EXPECT_EQ(assets.urlForAsset("site/../other/a.js"), bundle_url + "flutter_assets/other/a.js");
  EXPECT_EQ(assets.urlForAsset("site/missing.html"), std::nullopt);
  // Nothing outside the bundle is an asset, though it is there.
  std::ofstream(root / "outside.html") << "<p>";
  EXPECT_EQ(assets.urlForAsset("../../../../outside.html"), std::nullopt);
  EXPECT_EQ(assets.urlForAsset("../../outside.html"), std::nullopt);
  // A key that is no URL gives none.
  EXPECT_EQ(assets.urlForAsset("site/no such.html"), std::nullopt);
}

}  // namespace
}  // namespace wkwebview_host::testing
