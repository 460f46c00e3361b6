#include "plugins/webrtc_host/flutter_peer_connection.h"

#include "plugins/webrtc_host/webrtc_host_plugin.h"

namespace webrtc_host {

FlutterPeerConnection::FlutterPeerConnection(std::string flutterId,
                                             std::weak_ptr<WebRTCHostPlugin> plugin)
    : flutter_id_(std::move(flutterId)), plugin_(std::move(plugin)) {}

void FlutterPeerConnection::attach(std::shared_ptr<RTCPeerConnection> connection,
                                   std::shared_ptr<FlutterEventChannel> eventChannel) {
  connection_ = std::move(connection);
  event_channel_ = std::move(eventChannel);
}

FlutterEventSink FlutterPeerConnection::eventSink() const {
  std::lock_guard lock(mutex_);
  return event_sink_;
}

void FlutterPeerConnection::setEventSink(FlutterEventSink sink) {
  std::lock_guard lock(mutex_);
  event_sink_ = std::move(sink);
}

std::shared_ptr<RTCMediaStream> FlutterPeerConnection::remoteStream(
    const std::string& streamId) const {
  std::lock_guard lock(mutex_);
  auto found = remote_streams_.find(streamId);
  return found == remote_streams_.end() ? nullptr : found->second;
}

void FlutterPeerConnection::setRemoteStream(const std::string& streamId,
                                            std::shared_ptr<RTCMediaStream> stream) {
  std::lock_guard lock(mutex_);
  remote_streams_[streamId] = std::move(stream);
}

size_t FlutterPeerConnection::remoteStreamEntryCount(const RTCMediaStream& stream) const {
  std::lock_guard lock(mutex_);
  size_t count = 0;
  for (const auto& [id, entry] : remote_streams_) {
    if (entry.get() == &stream) ++count;
  }
  return count;
}

std::shared_ptr<RTCMediaStreamTrack> FlutterPeerConnection::remoteTrack(
    const std::string& trackId) const {
  std::lock_guard lock(mutex_);
  auto found = remote_tracks_.find(trackId);
  return found == remote_tracks_.end() ? nullptr : found->second;
}

void FlutterPeerConnection::setRemoteTrack(const std::string& trackId,
                                           std::shared_ptr<RTCMediaStreamTrack> track) {
  std::lock_guard lock(mutex_);
  remote_tracks_[trackId] = std::move(track);
}

void FlutterPeerConnection::removeRemoteTrack(const std::string& trackId) {
  std::lock_guard lock(mutex_);
  remote_tracks_.erase(trackId);
}

void FlutterPeerConnection::clearRemote() {
  std::lock_guard lock(mutex_);
  remote_streams_.clear();
  remote_tracks_.clear();
}

std::shared_ptr<FlutterDataChannel> FlutterPeerConnection::dataChannel(
    const std::string& flutterId) const {
  std::lock_guard lock(mutex_);
  auto found = data_channels_.find(flutterId);
  return found == data_channels_.end() ? nullptr : found->second;
}

std::vector<std::shared_ptr<FlutterDataChannel>> FlutterPeerConnection::dataChannels() const {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<FlutterDataChannel>> channels;
  for (const auto& [id, channel] : data_channels_) channels.push_back(channel);
  return channels;
}

void FlutterPeerConnection::setDataChannel(const std::string& flutterId,
                                           std::shared_ptr<FlutterDataChannel> channel) {
  std::lock_guard lock(mutex_);
  data_channels_[flutterId] = std::move(channel);
}

std::shared_ptr<FlutterDataChannel> FlutterPeerConnection::removeDataChannel(
    const std::string& flutterId) {
  std::lock_guard lock(mutex_);
  auto found = data_channels_.find(flutterId);
  if (found == data_channels_.end()) return nullptr;
  auto channel = std::move(found->second);
  data_channels_.erase(found);
  return channel;
}

std::vector<std::shared_ptr<FlutterDataChannel>> FlutterPeerConnection::takeDataChannels() {
  std::lock_guard lock(mutex_);
  std::vector<std::shared_ptr<FlutterDataChannel>> channels;
  for (auto& [id, channel] : data_channels_) channels.push_back(std::move(channel));
  data_channels_.clear();
  return channels;
}

std::optional<FlutterError> FlutterPeerConnection::onListenWithArguments(
    const flutter::Value& /*arguments*/, FlutterEventSink events) {
  setEventSink(std::move(events));
  return std::nullopt;
}

std::optional<FlutterError> FlutterPeerConnection::onCancelWithArguments(
    const flutter::Value& /*arguments*/) {
  setEventSink(nullptr);
  return std::nullopt;
}

void FlutterPeerConnection::peerConnectionDidChangeSignalingState(RTCPeerConnection&,
                                                                  RTCSignalingState stateChanged) {
  if (auto plugin = plugin_.lock())
    plugin->peerConnectionDidChangeSignalingState(*this, stateChanged);
}

void FlutterPeerConnection::peerConnectionDidAddStream(
    RTCPeerConnection&, const std::shared_ptr<RTCMediaStream>& stream) {
  if (auto plugin = plugin_.lock()) plugin->peerConnectionDidAddStream(*this, stream);
}

void FlutterPeerConnection::peerConnectionDidRemoveStream(
    RTCPeerConnection&, const std::shared_ptr<RTCMediaStream>& stream) {
  if (auto plugin = plugin_.lock()) plugin->peerConnectionDidRemoveStream(*this, stream);
}

void FlutterPeerConnection::peerConnectionShouldNegotiate(RTCPeerConnection&) {
  if (auto plugin = plugin_.lock()) plugin->peerConnectionShouldNegotiate(*this);
}

void FlutterPeerConnection::peerConnectionDidChangeIceConnectionState(
    RTCPeerConnection&, RTCIceConnectionState newState) {
  if (auto plugin = plugin_.lock())
    plugin->peerConnectionDidChangeIceConnectionState(*this, newState);
}

void FlutterPeerConnection::peerConnectionDidChangeIceGatheringState(
    RTCPeerConnection&, RTCIceGatheringState newState) {
  if (auto plugin = plugin_.lock())
    plugin->peerConnectionDidChangeIceGatheringState(*this, newState);
}

void FlutterPeerConnection::peerConnectionDidGenerateIceCandidate(
    RTCPeerConnection&, const RTCIceCandidate& candidate) {
  if (auto plugin = plugin_.lock()) plugin->peerConnectionDidGenerateIceCandidate(*this, candidate);
}

void FlutterPeerConnection::peerConnectionDidRemoveIceCandidates(
    RTCPeerConnection&, const std::vector<RTCIceCandidate>&) {}

void FlutterPeerConnection::peerConnectionDidOpenDataChannel(
    RTCPeerConnection&, const std::shared_ptr<RTCDataChannel>& dataChannel) {
  if (auto plugin = plugin_.lock()) plugin->peerConnectionDidOpenDataChannel(*this, dataChannel);
}

void FlutterPeerConnection::peerConnectionDidChangeConnectionState(
    RTCPeerConnection&, RTCPeerConnectionState newState) {
  if (auto plugin = plugin_.lock()) plugin->peerConnectionDidChangeConnectionState(*this, newState);
}

void FlutterPeerConnection::peerConnectionDidStartReceivingOnTransceiver(
    RTCPeerConnection&, const std::shared_ptr<RTCRtpTransceiver>&) {}

void FlutterPeerConnection::peerConnectionDidAddReceiver(
    RTCPeerConnection&, const std::shared_ptr<RTCRtpReceiver>& rtpReceiver,
    const std::vector<std::shared_ptr<RTCMediaStream>>& mediaStreams) {
  if (auto plugin = plugin_.lock())
    plugin->peerConnectionDidAddReceiver(*this, rtpReceiver, mediaStreams);
}

void FlutterPeerConnection::peerConnectionDidRemoveReceiver(
    RTCPeerConnection&, const std::shared_ptr<RTCRtpReceiver>&) {}

void FlutterPeerConnection::peerConnectionDidChangeLocalCandidate(RTCPeerConnection&,
                                                                  const RTCIceCandidate& local,
                                                                  const RTCIceCandidate& remote,
                                                                  int lastDataReceivedMs,
                                                                  const std::string& reason) {
  if (auto plugin = plugin_.lock()) {
    plugin->peerConnectionDidChangeLocalCandidate(*this, local, remote, lastDataReceivedMs, reason);
  }
}

void FlutterPeerConnection::peerConnectionMediaStreamDidAddTrack(
    RTCPeerConnection&, const std::shared_ptr<RTCMediaStream>& stream,
    const std::shared_ptr<RTCMediaStreamTrack>& track) {
  if (auto plugin = plugin_.lock())
    plugin->peerConnectionMediaStreamDidAddTrack(*this, stream, track);
}

void FlutterPeerConnection::peerConnectionMediaStreamDidRemoveTrack(
    RTCPeerConnection&, const std::shared_ptr<RTCMediaStream>& stream,
    const std::shared_ptr<RTCMediaStreamTrack>& track) {
  if (auto plugin = plugin_.lock()) {
    plugin->peerConnectionMediaStreamDidRemoveTrack(*this, stream, track);
  }
}

}  // namespace webrtc_host
