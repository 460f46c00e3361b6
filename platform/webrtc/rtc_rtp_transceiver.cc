#include "platform/webrtc/rtc_rtp_transceiver.h"

#include <algorithm>

#include "platform/webrtc/rtc_peer_connection.h"
#include "platform/webrtc/rtc_peer_connection_factory.h"

namespace {

NSError transceiverError(const std::string& description) {
  return NSError{kRTCPeerConnectionErrorDomain, -1, description};
}

bool sameCodec(const RTCRtpCodecCapability& a, const RTCRtpCodecCapability& b) {
  return a.name == b.name && a.kind == b.kind && a.clockRate == b.clockRate &&
         a.numChannels == b.numChannels && a.parameters == b.parameters;
}

}  // namespace

RTCRtpTransceiver::RTCRtpTransceiver(RTCRtpMediaType mediaType,
                                     std::shared_ptr<RTCRtpSender> sender,
                                     std::shared_ptr<RTCRtpReceiver> receiver,
                                     RTCRtpTransceiverDirection direction,
                                     std::weak_ptr<RTCPeerConnection> owner)
    : media_type_(mediaType),
      sender_(std::move(sender)),
      receiver_(std::move(receiver)),
      owner_(std::move(owner)),
      direction_(direction) {}

std::string RTCRtpTransceiver::mid() const {
  std::lock_guard lock(mutex_);
  return negotiation_.mid;
}

bool RTCRtpTransceiver::isStopped() const {
  std::lock_guard lock(mutex_);
  return stopped_;
}

RTCRtpTransceiverDirection RTCRtpTransceiver::direction() const {
  std::lock_guard lock(mutex_);
  return direction_;
}

bool RTCRtpTransceiver::currentDirection(RTCRtpTransceiverDirection* direction) const {
  std::lock_guard lock(mutex_);
  if (!negotiation_.current_direction) return false;
  if (direction != nullptr) *direction = *negotiation_.current_direction;
  return true;
}

bool RTCRtpTransceiver::setDirection(RTCRtpTransceiverDirection direction,
                                     std::optional<NSError>* error) {
  {
    std::lock_guard lock(mutex_);
    if (stopped_ || direction == RTCRtpTransceiverDirectionStopped ||
        direction < RTCRtpTransceiverDirectionSendRecv ||
        direction > RTCRtpTransceiverDirectionInactive) {
      if (error != nullptr) *error = transceiverError("The transceiver cannot take that direction");
      return false;
    }
    if (direction_ == direction) return true;
    direction_ = direction;
  }
  if (auto owner = owner_.lock()) owner->transceiverChanged();
  return true;
}

void RTCRtpTransceiver::stopInternal() {
  {
    std::lock_guard lock(mutex_);
    if (stopped_) return;
    stopped_ = true;
    direction_ = RTCRtpTransceiverDirectionStopped;
    negotiation_.current_direction = RTCRtpTransceiverDirectionStopped;
  }
  receiver_->track()->end();
  if (auto owner = owner_.lock()) owner->transceiverChanged();
}

bool RTCRtpTransceiver::setCodecPreferences(std::vector<RTCRtpCodecCapability> codecs,
                                            std::optional<NSError>* error) {
  const std::string kind = media_type_ == RTCRtpMediaTypeVideo ? kRTCMediaStreamTrackKindVideo
                                                               : kRTCMediaStreamTrackKindAudio;
  if (auto owner = owner_.lock()) {
    auto sendable = owner->factory_->rtpSenderCapabilitiesForKind(kind).codecs;
    auto receivable = owner->factory_->rtpReceiverCapabilitiesForKind(kind).codecs;
    for (const auto& codec : codecs) {
      auto matches = [&](const RTCRtpCodecCapability& known) { return sameCodec(known, codec); };
      if (codec.kind != kind) {
        if (error != nullptr)
          *error = transceiverError("Codec kind does not match the transceiver");
        return false;
      }
      if (std::none_of(sendable.begin(), sendable.end(), matches) &&
          std::none_of(receivable.begin(), receivable.end(), matches)) {
        if (error != nullptr)
          *error = transceiverError("Invalid codec preferences: unknown codec " + codec.name);
        return false;
      }
    }
  }
  std::lock_guard lock(mutex_);
  codec_preferences_ = std::move(codecs);
  return true;
}

std::vector<RTCRtpCodecCapability> RTCRtpTransceiver::codecPreferences() const {
  std::lock_guard lock(mutex_);
  return codec_preferences_;
}
