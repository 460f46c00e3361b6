#include "host/generated_plugin_registrant.h"

#include <memory>

#include "platform/foundation/ns_log.h"
#include "plugins/connectivity_macos/connectivity_macos_plugin.h"
#include "plugins/device_info_macos/device_info_macos_plugin.h"
#include "plugins/device_udid/device_udid_plugin.h"
#include "plugins/display_wake_macos/display_wake_macos_plugin.h"
#include "plugins/external/auto_update_plugin.h"
#include "plugins/external/embedded_browser_plugin.h"
#include "plugins/external/measure_units_plugin.h"
#include "plugins/external/media_engine_plugin.h"
#include "plugins/external/media_video_plugin.h"
#include "plugins/file_dialog/file_dialog_plugin.h"
#include "plugins/file_export/file_export_plugin.h"
#include "plugins/file_panels_macos/file_panels_plugin.h"
#include "plugins/litedb/litedb_plugin.h"
#include "plugins/movie_player_avfoundation/video_player_plugin.h"
#include "plugins/now_playing/now_playing_plugin.h"
#include "plugins/package_info_macos/package_info_macos_plugin.h"
#include "plugins/pdf_pages/pdf_pages_plugin.h"
#include "plugins/playlist_audio/playlist_audio_plugin.h"
#include "plugins/preferences_foundation/preferences_plugin.h"
#include "plugins/screen_geometry/screen_geometry_macos_plugin.h"
#include "plugins/secure_store_darwin/secure_store_darwin_plugin.h"
#include "plugins/session_config/session_config_plugin.h"
#include "plugins/share_sheet_macos/share_sheet_macos_plugin.h"
#include "plugins/url_opener_macos/url_opener_plugin.h"
#include "plugins/webrtc_host/webrtc_host_plugin.h"
#include "plugins/window_control/window_control_plugin.h"
#include "plugins/wkwebview_host/webview_host_plugin.h"

namespace {

// Asks the registry for the plug-in's registrar and hands it to the entry point. A registry that
// has no registrar to give is logged and the entry point skipped, rather than handed nothing.
template <typename EntryPoint>
void registerWith(FlutterPluginRegistry& registry, const char* pluginKey, EntryPoint entryPoint) {
  std::shared_ptr<FlutterPluginRegistrar> registrar = registry.registrarForPlugin(pluginKey);
  if (!registrar) {
    NSLog("No registrar for %s; its registration is skipped", pluginKey);
    return;
  }
  entryPoint(*registrar);
  NSLog("Registered %s", pluginKey);
}

}  // namespace

void registerPlugins(FlutterPluginRegistry& registry) {
  registerWith(registry, "NowPlayingPlugin", now_playing::NowPlayingPlugin::registerWithRegistrar);
  registerWith(registry, "SessionConfigPlugin",
               session_config::SessionConfigPlugin::registerWithRegistrar);
  registerWith(registry, "ConnectivityMacosPlugin",
               connectivity_macos::ConnectivityMacosPlugin::registerWithRegistrar);
  registerWith(registry, "DeviceInfoMacosPlugin",
               device_info_macos::DeviceInfoMacosPlugin::registerWithRegistrar);
  registerWith(registry, "FileDialogPlugin", file_dialog::FileDialogPlugin::registerWithRegistrar);
  registerWith(registry, "FileExportPlugin", file_export::FileExportPlugin::registerWithRegistrar);
  registerWith(registry, "FilePanelsPlugin",
               file_panels_macos::FilePanelsPlugin::registerWithRegistrar);
  registerWith(registry, "EmbeddedBrowserPlugin", [](FlutterPluginRegistrar& registrar) {
    // Created with its registrar and released at once; its framework keeps what it needs.
    std::make_unique<EmbeddedBrowserPlugin>(registrar);
  });
  registerWith(registry, "SecureStoreDarwinPlugin",
               secure_store_darwin::SecureStoreDarwinPlugin::registerWithRegistrar);
  registerWith(registry, "AutoUpdatePlugin", AutoUpdatePlugin::registerWithRegistrar);
  registerWith(registry, "DeviceUdidPlugin", device_udid::DeviceUdidPlugin::registerWithRegistrar);
  registerWith(registry, "WebRTCHostPlugin", webrtc_host::WebRTCHostPlugin::registerWithRegistrar);
  registerWith(registry, "MediaEnginePlugin", MediaEnginePlugin::registerWithRegistrar);
  registerWith(registry, "PlaylistAudioPlugin",
               playlist_audio::PlaylistAudioPlugin::registerWithRegistrar);
  // Only the registrar is requested for this one.
  registry.registrarForPlugin("MediaLibsVideoPlugin");
  registerWith(registry, "MediaVideoPlugin", MediaVideoPlugin::registerWithRegistrar);
  registerWith(registry, "MeasureUnitsPlugin", MeasureUnitsPlugin::registerWithRegistrar);
  registerWith(registry, "PackageInfoMacosPlugin",
               package_info_macos::PackageInfoMacosPlugin::registerWithRegistrar);
  registerWith(registry, "ScreenGeometryMacosPlugin",
               screen_geometry::ScreenGeometryMacosPlugin::registerWithRegistrar);
  registerWith(registry, "ShareSheetMacosPlugin",
               share_sheet_macos::ShareSheetMacosPlugin::registerWithRegistrar);
  registerWith(registry, "PreferencesPlugin",
               preferences_foundation::PreferencesPlugin::registerWithRegistrar);
  registerWith(registry, "LiteDbPlugin", litedb::LiteDbPlugin::registerWithRegistrar);
  registerWith(registry, "PdfPagesPlugin", pdf_pages::PdfPagesPlugin::registerWithRegistrar);
  registerWith(registry, "UrlOpenerPlugin",
               url_opener_macos::UrlOpenerPlugin::registerWithRegistrar);
  registerWith(registry, "VideoPlayerPlugin",
               movie_player_avfoundation::VideoPlayerPlugin::registerWithRegistrar);
  registerWith(registry, "DisplayWakeMacosPlugin",
               display_wake_macos::DisplayWakeMacosPlugin::registerWithRegistrar);
  registerWith(registry, "WebViewHostPlugin",
               wkwebview_host::WebViewHostPlugin::registerWithRegistrar);
  registerWith(registry, "WindowControlPlugin",
               window_control::WindowControlPlugin::registerWithRegistrar);
}
