#include "plugins/webrtc_host/webrtc_host_plugin.h"

#include "platform/foundation/ns_log.h"
#include "platform/webrtc/rtc_field_trials.h"
#include "plugins/webrtc_host/arguments.h"
#include "plugins/webrtc_host/post_event.h"
#include "plugins/webrtc_host/video_decoder_factory.h"
#include "plugins/webrtc_host/video_encoder_factory.h"
#include "plugins/webrtc_host/video_encoder_factory_simulcast.h"
#include "plugins/webrtc_host/weak_stream_handler.h"

namespace webrtc_host {
namespace {

constexpr const char* kMethodChannelName = "WebRTCHost.Method";
constexpr const char* kEventChannelName = "WebRTCHost.Event";
// The audio device module built on the platform's audio units.
constexpr int kAudioDeviceModuleType = 1;

// Process-wide, as class-level state is: the last plug-in made, the audio-session switch and the
// observer of the next factory's audio device module. Reads and writes take the same lock.
struct ClassState {
  std::mutex mutex;
  std::shared_ptr<WebRTCHostPlugin> shared_instance;
  bool audio_session_management_enabled = false;
  std::weak_ptr<RTCAudioDeviceModuleDelegate> audio_device_module_observer;
};

ClassState& classState() {
  static auto* const state = new ClassState();
  return *state;
}

}  // namespace

void WebRTCHostPlugin::registerWithRegistrar(FlutterPluginRegistrar& registrar) {
  auto channel =
      FlutterMethodChannel::methodChannelWithName(kMethodChannelName, registrar.messenger());
  auto instance = initWithChannel(channel, registrar, registrar.messenger(), registrar.textures());
  registrar.addMethodCallDelegate(instance, channel);
}

std::shared_ptr<WebRTCHostPlugin> WebRTCHostPlugin::initWithChannel(
    std::shared_ptr<FlutterMethodChannel> channel, FlutterPluginRegistrar& registrar,
    std::shared_ptr<FlutterBinaryMessenger> messenger,
    std::shared_ptr<FlutterTextureRegistry> textures) {
  auto plugin =
      std::make_shared<WebRTCHostPlugin>(std::move(channel), messenger, std::move(textures));
  std::shared_ptr<WebRTCHostPlugin> replaced;
  {
    std::lock_guard lock(classState().mutex);
    replaced = std::exchange(classState().shared_instance, plugin);
  }
  // The plug-in this one replaces may go away here, outside the lock.
  replaced.reset();
  plugin->event_channel_ = FlutterEventChannel::eventChannelWithName(kEventChannelName, messenger);
  plugin->event_channel_->setStreamHandler(std::make_shared<WeakStreamHandler>(plugin));
  plugin->platform_view_factory_ = std::make_shared<HostRTCVideoPlatformViewFactory>(messenger);
  registrar.registerViewFactory(plugin->platform_view_factory_, kRTCVideoPlatformViewType);
  RTCInitFieldTrialDictionary({{kRTCFieldTrialUseNWPathMonitor, kRTCFieldTrialEnabledValue}});
  return plugin;
}

WebRTCHostPlugin::WebRTCHostPlugin(std::shared_ptr<FlutterMethodChannel> channel,
                                   std::shared_ptr<FlutterBinaryMessenger> messenger,
                                   std::shared_ptr<FlutterTextureRegistry> textures)
    : method_channel_(std::move(channel)),
      messenger_(std::move(messenger)),
      textures_(std::move(textures)),
      audio_manager_(AudioManager::sharedInstance()) {}

WebRTCHostPlugin::~WebRTCHostPlugin() {
  // Tracks hold their renderers: let go of them so neither keeps the other alive.
  frame_captures_.abandonAll(
      FlutterError{"CaptureFrameFailed", "No frame arrived before the plug-in closed", nullptr});
  renderers_.disposeAll();
  if (platform_view_factory_) platform_view_factory_->removeAll();
  local_media_.releaseTracksAndStreams();
  for (auto& [id, peer] : peer_connections_.takeAll()) {
    if (const auto& connection = peer->peerConnection()) {
      connection->setDelegate({});
      connection->close();
    }
  }
  peer_connection_factory_.reset();
}

void WebRTCHostPlugin::releaseEverything() {
  // Stop every capture first: their stop handlers may still name streams and tracks.
  local_media_.stopAllCaptures();
  video_capturer_.reset();
  for (auto& [id, peer] : peer_connections_.takeAll()) {
    if (const auto& connection = peer->peerConnection()) connection->setDelegate({});
    peerConnectionClose(*peer);
  }
  local_media_.releaseTracksAndStreams();
  abandonCapturesOfDisposedTracks();
  renderers_.disposeAll();
  if (platform_view_factory_) platform_view_factory_->removeAll();
  cryptors_.releaseAll();
}

std::shared_ptr<WebRTCHostPlugin> WebRTCHostPlugin::sharedSingleton() {
  std::lock_guard lock(classState().mutex);
  return classState().shared_instance;
}

void WebRTCHostPlugin::setAudioSessionManagementEnabled(bool enabled) {
  std::lock_guard lock(classState().mutex);
  classState().audio_session_management_enabled = enabled;
}

bool WebRTCHostPlugin::audioSessionManagementEnabled() const {
  std::lock_guard lock(classState().mutex);
  return classState().audio_session_management_enabled;
}

void WebRTCHostPlugin::setAudioDeviceModuleObserver(
    std::weak_ptr<RTCAudioDeviceModuleDelegate> observer) {
  std::lock_guard lock(classState().mutex);
  classState().audio_device_module_observer = std::move(observer);
}

RTCLoggingSeverity WebRTCHostPlugin::logSeverityForString(
    const std::optional<std::string>& severity) {
  if (severity == "verbose") return RTCLoggingSeverityVerbose;
  if (severity == "info") return RTCLoggingSeverityInfo;
  if (severity == "warning") return RTCLoggingSeverityWarning;
  if (severity == "error") return RTCLoggingSeverityError;
  return RTCLoggingSeverityNone;
}

void WebRTCHostPlugin::initLoggerCallback(RTCLoggingSeverity severity) {
  if (!logger_callback_) {
    logger_callback_ = std::make_shared<RTCCallbackLogger>();
    std::weak_ptr<WebRTCHostPlugin> weak = weak_from_this();
    logger_callback_->start([weak](const std::string& message) {
      auto self = weak.lock();
      if (!self) return;
      postEvent(self->eventSink(), flutter::ValueMap{{"event", "onLogData"}, {"data", message}});
    });
  }
  logger_callback_->setSeverity(severity);
}

void WebRTCHostPlugin::initialize(const std::vector<std::string>& networkIgnoreMask,
                                  bool bypassVoiceProcessing, RTCLoggingSeverity severity) {
  initLoggerCallback(severity);
  if (peer_connection_factory_) return;

  auto decoder_factory = std::make_shared<VideoDecoderFactory>();
  auto encoder_factory = std::make_shared<VideoEncoderFactory>();
  auto simulcast_factory =
      std::make_shared<VideoEncoderFactorySimulcast>(encoder_factory, encoder_factory);
  peer_connection_factory_ = RTCPeerConnectionFactory::initWithAudioDeviceModuleType(
      kAudioDeviceModuleType, bypassVoiceProcessing, simulcast_factory, decoder_factory,
      audio_manager_->audioProcessingModule());

  const auto& module = peer_connection_factory_->audioDeviceModule();
  std::weak_ptr<RTCAudioDeviceModuleDelegate> observer;
  {
    std::lock_guard lock(classState().mutex);
    observer = classState().audio_device_module_observer;
  }
  // Without an observer of its own choosing, the plug-in hears of device changes itself.
  if (observer.expired()) observer = weak_from_this();
  if (module) {
    module->setObserver(observer);
    if (auto inputs = module->inputDevices(); !inputs.empty()) {
      module->setInputDevice(inputs.front());
      NSLog("CoreAudio ADM: Selected input device: %s", inputs.front().name.c_str());
    }
    if (auto outputs = module->outputDevices(); !outputs.empty()) {
      module->setOutputDevice(outputs.front());
      NSLog("CoreAudio ADM: Selected output device: %s", outputs.front().name.c_str());
    }
  }

  RTCPeerConnectionFactoryOptions options;
  for (const auto& adapter : networkIgnoreMask) {
    const bool any = adapter == "adapterTypeAny";
    if (any || adapter == "adapterTypeEthernet") options.ignoreEthernetNetworkAdapter = true;
    if (any || adapter == "adapterTypeWifi") options.ignoreWiFiNetworkAdapter = true;
    if (any || adapter == "adapterTypeCellular") options.ignoreCellularNetworkAdapter = true;
    if (any || adapter == "adapterTypeVpn") options.ignoreVPNNetworkAdapter = true;
    if (any || adapter == "adapterTypeLoopback") options.ignoreLoopbackNetworkAdapter = true;
  }
  peer_connection_factory_->setOptions(options);
}

std::optional<FlutterError> WebRTCHostPlugin::onListenWithArguments(
    const flutter::Value& /*arguments*/, FlutterEventSink events) {
  std::lock_guard lock(event_sink_mutex_);
  event_sink_ = std::move(events);
  return std::nullopt;
}

std::optional<FlutterError> WebRTCHostPlugin::onCancelWithArguments(
    const flutter::Value& /*arguments*/) {
  std::lock_guard lock(event_sink_mutex_);
  event_sink_ = nullptr;
  return std::nullopt;
}

FlutterEventSink WebRTCHostPlugin::eventSink() const {
  std::lock_guard lock(event_sink_mutex_);
  return event_sink_;
}

std::shared_ptr<FlutterPeerConnection> WebRTCHostPlugin::peerConnectionFor(
    const FlutterMethodCall& call, FlutterResult& result, const std::string& failureCode) const {
  auto peer = peer_connections_.find(Arguments(call.arguments).string("peerConnectionId"));
  if (!peer) {
    result(FlutterError{failureCode.empty() ? call.method + "Failed" : failureCode,
                        "Error: peerConnection not found!", nullptr});
  }
  return peer;
}

std::shared_ptr<RTCMediaStream> WebRTCHostPlugin::streamForId(
    const std::string& streamId, const std::string& peerConnectionId) const {
  if (auto remote = peer_connections_.remoteStream(streamId, peerConnectionId)) return remote;
  return local_media_.stream(streamId);
}

std::shared_ptr<RTCMediaStreamTrack> WebRTCHostPlugin::trackForId(
    const std::string& trackId, const std::optional<std::string>& peerConnectionId) const {
  if (auto local = local_media_.track(trackId)) return local->track();
  return peer_connections_.remoteTrack(trackId, peerConnectionId);
}

void WebRTCHostPlugin::audioDeviceModuleDidUpdateDevices(RTCAudioDeviceModule& /*module*/) {
  NSLog("audioDeviceModule did update devices");
  if (auto sink = eventSink()) postEvent(sink, flutter::ValueMap{{"event", "onDeviceChange"}});
}

void WebRTCHostPlugin::detachFromEngineForRegistrar(FlutterPluginRegistrar& /*registrar*/) {
  for (auto& [id, peer] : peer_connections_) {
    for (const auto& channel : peer->dataChannels()) channel->setEventSink(nullptr);
    peer->setEventSink(nullptr);
  }
  // The engine is going: close what is open and unregister every channel this plug-in made.
  releaseEverything();
  if (event_channel_) event_channel_->setStreamHandler(nullptr);
  if (method_channel_) method_channel_->setMethodCallHandler(nullptr);
  std::lock_guard lock(event_sink_mutex_);
  event_sink_ = nullptr;
}

}  // namespace webrtc_host
