#include "platform/webrtc/rtc_rtp_sender.h"

#include <random>

namespace {

uint32_t randomSsrc() {
  static std::mutex mutex;
  static std::mt19937 generator{std::random_device{}()};
  std::lock_guard lock(mutex);
  return std::uniform_int_distribution<uint32_t>(1, 0xfffffffe)(generator);
}

}  // namespace

RTCRtpSender::RTCRtpSender(std::string senderId, std::string kind,
                           std::shared_ptr<RTCMediaStreamTrack> track,
                           std::vector<std::string> streamIds,
                           std::vector<RTCRtpEncodingParameters> encodings, std::string cname)
    : sender_id_(std::move(senderId)),
      kind_(std::move(kind)),
      dtmf_sender_(kind_ == kRTCMediaStreamTrackKindAudio ? std::make_shared<RTCDtmfSender>()
                                                          : nullptr),
      track_(std::move(track)),
      stream_ids_(std::move(streamIds)) {
  if (encodings.empty()) encodings.emplace_back();
  for (auto& encoding : encodings) encoding.ssrc = randomSsrc();
  parameters_.encodings = std::move(encodings);
  parameters_.rtcp = RTCRtcpParameters{std::move(cname), true};
  parameters_.headerExtensions = {
      RTCRtpHeaderExtension{"urn:ietf:params:rtp-hdrext:sdes:mid", 1, false}};
}

std::shared_ptr<RTCMediaStreamTrack> RTCRtpSender::track() const {
  std::lock_guard lock(mutex_);
  return track_;
}

bool RTCRtpSender::setTrack(std::shared_ptr<RTCMediaStreamTrack> track) {
  if (track && track->kind() != kind_) return false;
  std::lock_guard lock(mutex_);
  track_ = std::move(track);
  return true;
}

std::vector<std::string> RTCRtpSender::streamIds() const {
  std::lock_guard lock(mutex_);
  return stream_ids_;
}

void RTCRtpSender::setStreamIds(std::vector<std::string> streamIds) {
  std::lock_guard lock(mutex_);
  stream_ids_ = std::move(streamIds);
}

RTCRtpParameters RTCRtpSender::parameters() const {
  std::lock_guard lock(mutex_);
  RTCRtpParameters parameters = parameters_;
  // One transaction until a set spends it: reading never invalidates another reader's set.
  if (last_transaction_id_.empty()) {
    last_transaction_id_ = "tx-" + sender_id_ + "-" + std::to_string(++transactions_);
  }
  parameters.transactionId = last_transaction_id_;
  return parameters;
}

bool RTCRtpSender::setParameters(const RTCRtpParameters& parameters) {
  std::lock_guard lock(mutex_);
  if (parameters.transactionId != last_transaction_id_) return false;
  if (parameters.encodings.size() != parameters_.encodings.size()) return false;
  for (size_t i = 0; i < parameters.encodings.size(); ++i) {
    const auto& encoding = parameters.encodings[i];
    if (encoding.rid != parameters_.encodings[i].rid) return false;
    if (encoding.scaleResolutionDownBy && !(*encoding.scaleResolutionDownBy >= 1.0)) return false;
  }
  for (size_t i = 0; i < parameters.encodings.size(); ++i) {
    auto ssrc = parameters_.encodings[i].ssrc;
    parameters_.encodings[i] = parameters.encodings[i];
    parameters_.encodings[i].ssrc = ssrc;
  }
  parameters_.degradationPreference = parameters.degradationPreference;
  last_transaction_id_.clear();
  return true;
}

void RTCRtpSender::setNegotiatedCodecs(std::vector<RTCRtpCodecParameters> codecs) {
  std::lock_guard lock(mutex_);
  parameters_.codecs = std::move(codecs);
}
