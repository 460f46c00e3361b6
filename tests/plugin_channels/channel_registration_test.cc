// The channels each plug-in installs when the registrant runs: exactly the names the Dart side
// uses, no more and no fewer, so that a channel that goes missing, is misnamed or is installed by
// the wrong plug-in fails here.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "host/generated_plugin_registrant.h"
#include "platform/flutter/flutter_engine.h"
#include "platform/flutter/flutter_view_controller.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "platform/foundation/testing/foundation_controls.h"

namespace {

namespace fs = std::filesystem;
using ChannelSet = std::set<std::string>;

// "<prefix><api>.<operation>" for each operation of each api.
ChannelSet pigeonChannels(const std::string& prefix,
                          const std::map<std::string, std::vector<std::string>>& apis) {
  ChannelSet names;
  for (const auto& [api, operations] : apis) {
    for (const auto& operation : operations) names.insert(prefix + api + "." + operation);
  }
  return names;
}

ChannelSet webViewChannels() {
  return pigeonChannels(
      "dev.flutter.pigeon.wkwebview_host.",
      {
          {"PigeonInternalInstanceManager", {"removeStrongReference", "clear"}},
          {"URLRequest",
           {"pigeon_defaultConstructor", "getUrl", "setHttpMethod", "getHttpMethod", "setHttpBody",
            "getHttpBody", "setAllHttpHeaderFields", "getAllHttpHeaderFields"}},
          {"WKUserScript", {"pigeon_defaultConstructor"}},
          {"HTTPCookie", {"pigeon_defaultConstructor", "getProperties"}},
          {"AuthenticationChallengeResponse", {"pigeon_defaultConstructor", "createAsync"}},
          {"WKWebsiteDataStore", {"defaultDataStore", "httpCookieStore", "removeDataOfTypes"}},
          {"WKWebViewConfiguration",
           {"pigeon_defaultConstructor", "setUserContentController", "getUserContentController",
            "setWebsiteDataStore", "getWebsiteDataStore", "setPreferences", "getPreferences",
            "setAllowsInlineMediaPlayback", "setLimitsNavigationsToAppBoundDomains",
            "setMediaTypesRequiringUserActionForPlayback", "getDefaultWebpagePreferences"}},
          {"WKUserContentController",
           {"addScriptMessageHandler", "removeScriptMessageHandler",
            "removeAllScriptMessageHandlers", "addUserScript", "removeAllUserScripts"}},
          {"WKPreferences", {"setJavaScriptEnabled", "setJavaScriptCanOpenWindowsAutomatically"}},
          {"WKScriptMessageHandler", {"pigeon_defaultConstructor"}},
          {"WKNavigationDelegate", {"pigeon_defaultConstructor"}},
          {"NSObject", {"pigeon_defaultConstructor", "addObserver", "removeObserver"}},
          {"NSViewWKWebView",
           {"pigeon_defaultConstructor", "configuration", "setUIDelegate", "setNavigationDelegate",
            "getUrl", "getEstimatedProgress", "load", "loadHtmlString", "loadFileUrl",
            "loadFlutterAsset", "canGoBack", "canGoForward", "goBack", "goForward", "reload",
            "getTitle", "setAllowsBackForwardNavigationGestures", "setCustomUserAgent",
            "evaluateJavaScript", "setInspectable", "getCustomUserAgent",
            "setAllowsLinkPreview"}},
          {"WKUIDelegate", {"pigeon_defaultConstructor"}},
          {"WKHTTPCookieStore", {"setCookie", "getAllCookies"}},
          {"URLCredential", {"withUser", "withUserAsync", "serverTrustAsync"}},
          {"URLProtectionSpace", {"getServerTrust"}},
          {"URLAuthenticationChallenge", {"getProtectionSpace"}},
          {"URL", {"getAbsoluteString"}},
          {"WKWebpagePreferences", {"setAllowsContentJavaScript"}},
          {"SecTrust",
           {"evaluateWithError", "copyExceptions", "setExceptions", "getTrustResult",
            "copyCertificateChain"}},
          {"SecCertificate", {"copyData"}},
      });
}

// Every registration name the registrant asks for, with the channels that plug-in installs.
// The six plug-ins of separate frameworks install none here.
std::map<std::string, ChannelSet> expectedChannels() {
  return {
      {"NowPlayingPlugin",
       {"com.quillmark.now_playing.handler.methods", "com.quillmark.now_playing.client.methods"}},
      {"SessionConfigPlugin", {"com.quillmark.session_config"}},
      {"ConnectivityMacosPlugin",
       {"dev.velmora.desktop/connectivity", "dev.velmora.desktop/connectivity_status"}},
      {"DeviceInfoMacosPlugin", {"dev.velmora.desktop/device_info"}},
      {"FileDialogPlugin",
       {"pendrathorn.flutter.plugins.filedialog", "pendrathorn.flutter.plugins.filedialogevent"}},
      {"FileExportPlugin", {"file_export"}},
      {"FilePanelsPlugin", pigeonChannels("dev.flutter.pigeon.file_panels_macos.",
                                          {{"FilePanelsApi", {"displayOpenPanel",
                                                              "displaySavePanel"}}})},
      {"EmbeddedBrowserPlugin", {}},
      {"SecureStoreDarwinPlugin",
       {"com.velmora.host/secure_store", "com.velmora.host/secure_store/events"}},
      {"AutoUpdatePlugin", {}},
      {"DeviceUdidPlugin", {"device_udid"}},
      {"WebRTCHostPlugin", {"WebRTCHost.Method", "WebRTCHost.Event"}},
      {"MediaEnginePlugin", {}},
      {"PlaylistAudioPlugin", {"com.quillmark.playlist_audio.methods"}},
      {"MediaLibsVideoPlugin", {}},
      {"MediaVideoPlugin", {}},
      {"MeasureUnitsPlugin", {}},
      {"PackageInfoMacosPlugin", {"dev.velmora.desktop/package_info"}},
      {"ScreenGeometryMacosPlugin",
       {"dev.velmora.plugins/screen_geometry", "dev.velmora.plugins/screen_geometry_event"}},
      {"ShareSheetMacosPlugin", {"dev.velmora.desktop/share"}},
      {"PreferencesPlugin",
       pigeonChannels("dev.flutter.pigeon.preferences_foundation.",
                      {{"UserDefaultsApi", {"set", "clear", "getAll", "getValue", "getKeys"}},
                       {"LegacyUserDefaultsApi",
                        {"remove", "setBool", "setDouble", "setValue", "getAll", "clear"}}})},
      {"LiteDbPlugin", {"com.velmora.litedb"}},
      {"PdfPagesPlugin", {"pdf_pages"}},
      {"UrlOpenerPlugin", pigeonChannels("dev.flutter.pigeon.url_opener_macos.",
                                         {{"UrlOpenerApi", {"canLaunchUrl", "launchUrl"}}})},
      {"VideoPlayerPlugin",
       pigeonChannels("dev.flutter.pigeon.movie_player_avfoundation.",
                      {{"AVFoundationVideoPlayerApi",
                        {"initialize", "createForPlatformView", "createForTextureView",
                         "setMixWithOthers", "getAssetUrl"}}})},
      {"DisplayWakeMacosPlugin", {"display_wake_macos"}},
      {"WebViewHostPlugin", webViewChannels()},
      {"WindowControlPlugin", {"window_control"}},
  };
}

// Hands out the engine's registrars and charges each channel that appears to the plug-in whose
// registrar was asked for last: the registrant asks for one registrar per plug-in, just before
// its entry point runs.
class AttributingRegistry final : public FlutterPluginRegistry {
 public:
  explicit AttributingRegistry(std::shared_ptr<FlutterViewController> controller)
      : controller_(std::move(controller)), known_(installed()) {}

  std::shared_ptr<FlutterPluginRegistrar> registrarForPlugin(
      const std::string& pluginKey) override {
    settle();
    current_ = pluginKey;
    EXPECT_TRUE(channels_.emplace(pluginKey, ChannelSet{}).second) << "asked twice: " << pluginKey;
    return controller_->registrarForPlugin(pluginKey);
  }
  std::shared_ptr<void> valuePublishedByPlugin(const std::string& pluginKey) override {
    return controller_->valuePublishedByPlugin(pluginKey);
  }

  // Charges what appeared since the last look to the current plug-in.
  void settle() {
    ChannelSet now = installed();
    for (const auto& name : now) {
      if (known_.count(name) == 0) channels_[current_].insert(name);
    }
    for (const auto& name : known_) EXPECT_EQ(now.count(name), 1u) << "removed: " << name;
    known_ = std::move(now);
  }
  const std::map<std::string, ChannelSet>& channels() const { return channels_; }

 private:
  ChannelSet installed() const {
    auto names = controller_->engine()->messenger().channelsWithHandlers();
    return ChannelSet(names.begin(), names.end());
  }

  std::shared_ptr<FlutterViewController> controller_;
  ChannelSet known_;
  std::string current_ = "(before any registrar)";
  std::map<std::string, ChannelSet> channels_;
};

class ChannelRegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "channel-registration-XXXXXX").string();
    root_ = ::mkdtemp(pattern.data());
    foundation::testing::setUserDirectoriesRoot(root_.string());
  }
  void TearDown() override {
    controller_->engine()->shutDown();
    foundation::testing::setUserDirectoriesRoot(std::nullopt);
    fs::remove_all(root_);
  }

  fs::path root_;
  std::shared_ptr<FlutterViewController> controller_ = std::make_shared<FlutterViewController>();
};

TEST_F(ChannelRegistrationTest, EveryPluginInstallsExactlyItsChannels) {
  AttributingRegistry registry(controller_);
  registerPlugins(registry);
  // Whatever a plug-in leaves for the main queue must not install channels after the fact.
  flutter::testing::TestDartSide dart(controller_->engine());
  dart.drain();
  registry.settle();

  const auto expected = expectedChannels();
  ASSERT_EQ(expected.size(), 28u);
  std::set<std::string> asked, wanted;
  for (const auto& [plugin, channels] : registry.channels()) asked.insert(plugin);
  for (const auto& [plugin, channels] : expected) wanted.insert(plugin);
  EXPECT_EQ(asked, wanted);
  for (const auto& [plugin, channels] : expected) {
    auto found = registry.channels().find(plugin);
    EXPECT_EQ(found != registry.channels().end() ? found->second : ChannelSet{}, channels)
        << plugin;
  }
}

}  // namespace
