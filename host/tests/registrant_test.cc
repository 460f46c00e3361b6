#include <gtest/gtest.h>

#include <algorithm>

#include "host/generated_plugin_registrant.h"
#include "platform/flutter/flutter_engine.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "plugins/external/embedded_browser_plugin.h"

namespace {

// The application's registration order.
const std::vector<std::string> kRegistrationOrder = {"NowPlayingPlugin",
                                                     "SessionConfigPlugin",
                                                     "ConnectivityMacosPlugin",
                                                     "DeviceInfoMacosPlugin",
                                                     "FileDialogPlugin",
                                                     "FileExportPlugin",
                                                     "FilePanelsPlugin",
                                                     "EmbeddedBrowserPlugin",
                                                     "SecureStoreDarwinPlugin",
                                                     "AutoUpdatePlugin",
                                                     "DeviceUdidPlugin",
                                                     "WebRTCHostPlugin",
                                                     "MediaEnginePlugin",
                                                     "PlaylistAudioPlugin",
                                                     "MediaLibsVideoPlugin",
                                                     "MediaVideoPlugin",
                                                     "MeasureUnitsPlugin",
                                                     "PackageInfoMacosPlugin",
                                                     "ScreenGeometryMacosPlugin",
                                                     "ShareSheetMacosPlugin",
                                                     "PreferencesPlugin",
                                                     "LiteDbPlugin",
                                                     "PdfPagesPlugin",
                                                     "UrlOpenerPlugin",
                                                     "VideoPlayerPlugin",
                                                     "DisplayWakeMacosPlugin",
                                                     "WebViewHostPlugin",
                                                     "WindowControlPlugin"};

// A registry that records the names asked for and hands out registrars of a real engine, except
// for one name it has no registrar for.
class RecordingRegistry : public FlutterPluginRegistry {
 public:
  explicit RecordingRegistry(std::string missing = "") : missing_(std::move(missing)) {}

  std::shared_ptr<FlutterPluginRegistrar> registrarForPlugin(const std::string& key) override {
    requested.push_back(key);
    if (key == missing_) return nullptr;
    auto registrar = engine_->registrarForPlugin(key);
    handed_out.push_back(registrar);
    return registrar;
  }
  std::shared_ptr<void> valuePublishedByPlugin(const std::string& key) override {
    return engine_->valuePublishedByPlugin(key);
  }
  // The engine keeps its registrars until it shuts down, to detach the plug-ins then.
  void shutDown() { engine_->shutDown(); }

  std::vector<std::string> requested;
  std::vector<std::weak_ptr<FlutterPluginRegistrar>> handed_out;

 private:
  std::string missing_;
  std::shared_ptr<FlutterEngine> engine_ = FlutterEngine::create();
};

TEST(RegistrantTest, AsksForEveryRowOnceInTheFixedOrder) {
  RecordingRegistry registry;
  registerPlugins(registry);
  EXPECT_EQ(registry.requested, kRegistrationOrder);
  // The registrant keeps no registrar once its row is done.
  registry.shutDown();
  for (const auto& registrar : registry.handed_out) EXPECT_TRUE(registrar.expired());
}

TEST(RegistrantTest, FrameworkRowsAreRequestedCreatedOrRegisteredAsTheirEntryPointsSay) {
  foundation::testing::setLogCapture(true);
  RecordingRegistry registry;
  registerPlugins(registry);
  auto lines = foundation::testing::takeLogLines();
  foundation::testing::setLogCapture(false);

  auto count = [&](const std::string& text) {
    return std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.find(text) != std::string::npos;
    });
  };
  EXPECT_EQ(count("EmbeddedBrowserPlugin created"), 1);
  EXPECT_EQ(EmbeddedBrowserPlugin::liveInstances(), 0);  // created, then released at once
  EXPECT_EQ(count("MediaLibsVideoPlugin"), 0);           // requested, nothing called
  EXPECT_NE(std::find(registry.requested.begin(), registry.requested.end(), "MediaLibsVideoPlugin"),
            registry.requested.end());
  for (const char* name :
       {"AutoUpdatePlugin", "MediaEnginePlugin", "MediaVideoPlugin", "MeasureUnitsPlugin"}) {
    EXPECT_EQ(count(std::string(name) + " registered"), 1) << name;
  }
}

TEST(RegistrantTest, MissingRegistrarIsLoggedAndItsEntryPointSkipped) {
  foundation::testing::setLogCapture(true);
  RecordingRegistry registry("AutoUpdatePlugin");
  registerPlugins(registry);
  auto lines = foundation::testing::takeLogLines();
  foundation::testing::setLogCapture(false);
  auto has = [&](const std::string& text) {
    return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
      return line.find(text) != std::string::npos;
    });
  };
  EXPECT_TRUE(has("No registrar for AutoUpdatePlugin"));
  EXPECT_FALSE(has("AutoUpdatePlugin registered"));
  // The rows after it still run.
  EXPECT_TRUE(has("MeasureUnitsPlugin registered"));
}

}  // namespace
