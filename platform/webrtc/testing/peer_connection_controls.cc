#include "platform/webrtc/testing/peer_connection_controls.h"
#include "platform/webrtc/testing/bounded_wait.h"

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/ns_uuid.h"

class RTCRtpTransceiverControl {
 public:
  static void markRemoteReceiving(RTCRtpTransceiver& transceiver) {
    std::lock_guard lock(transceiver.mutex_);
    transceiver.negotiation_.created_by_remote = true;
    transceiver.negotiation_.receiving = true;
  }
};

class RTCPeerConnectionControl {
 public:
  using Operation = RTCPeerConnection::Operation;

  static void fail(RTCPeerConnection& connection, Operation operation, NSError error) {
    std::lock_guard lock(connection.mutex_);
    connection.injected_failures_[operation] = std::move(error);
  }
  static void setTimestamp(RTCPeerConnection& connection, double timestamp) {
    std::lock_guard lock(connection.mutex_);
    connection.statistics_timestamp_override_ = timestamp;
  }
  static void post(RTCPeerConnection& connection, RTCPeerConnection::Notification notification) {
    connection.post(std::move(notification));
  }
  static void setStates(RTCPeerConnection& connection, std::optional<RTCSignalingState> signaling,
                        std::optional<RTCIceConnectionState> ice,
                        std::optional<RTCIceGatheringState> gathering,
                        std::optional<RTCPeerConnectionState> state) {
    std::lock_guard lock(connection.mutex_);
    if (signaling) connection.signaling_state_ = *signaling;
    if (ice) connection.ice_connection_state_ = *ice;
    if (gathering) connection.ice_gathering_state_ = *gathering;
    if (state) connection.connection_state_ = *state;
  }
  static std::vector<RTCIceCandidate> remoteCandidates(const RTCPeerConnection& connection) {
    std::lock_guard lock(connection.mutex_);
    return connection.remote_candidates_;
  }
  static std::shared_ptr<RTCRtpTransceiver> addReceiving(RTCPeerConnection& connection,
                                                         RTCRtpMediaType mediaType,
                                                         const std::string& trackId) {
    std::lock_guard lock(connection.mutex_);
    RTCRtpTransceiverInit init;
    init.direction = RTCRtpTransceiverDirectionRecvOnly;
    auto transceiver = connection.makeTransceiver(mediaType, nullptr, init, trackId);
    RTCRtpTransceiverControl::markRemoteReceiving(*transceiver);
    connection.transceivers_.push_back(transceiver);
    return transceiver;
  }
  static std::shared_ptr<RTCMediaStream> remoteStream(RTCPeerConnection& connection,
                                                      const std::string& streamId) {
    std::lock_guard lock(connection.mutex_);
    return connection.remoteStream(streamId);
  }
  static std::shared_ptr<RTCDataChannel> addDataChannel(RTCPeerConnection& connection,
                                                        const std::string& label, int channelId) {
    RTCDataChannelConfiguration configuration;
    configuration.channelId = channelId;
    auto channel = std::make_shared<RTCDataChannel>(label, configuration, connection.queue_);
    std::lock_guard lock(connection.mutex_);
    connection.data_channels_.push_back(channel);
    return channel;
  }
  static dispatch_queue_t queue(RTCPeerConnection& connection) { return connection.queue_; }
  static std::vector<RTCIceCandidate> localCandidatesOf(const RTCPeerConnection& connection) {
    std::lock_guard lock(connection.mutex_);
    return connection.local_candidates_;
  }
};

class RTCDtmfSenderControl {
 public:
  static std::vector<std::string> tones(const RTCDtmfSender& sender) {
    std::lock_guard lock(sender.mutex_);
    return sender.inserted_tones_;
  }
};

class RTCDataChannelControl {
 public:
  static void bufferedAmount(RTCDataChannel& channel, uint64_t amount) {
    channel.changeBufferedAmount(amount);
  }
  static void open(RTCDataChannel& channel) { channel.changeState(RTCDataChannelStateOpen); }
};

namespace webrtc::testing {
namespace {

using Delegate = RTCPeerConnectionDelegate;

RTCPeerConnectionControl::Operation toOperation(PeerConnectionOperation operation) {
  switch (operation) {
    case PeerConnectionOperation::createOffer:
      return RTCPeerConnectionControl::Operation::createOffer;
    case PeerConnectionOperation::createAnswer:
      return RTCPeerConnectionControl::Operation::createAnswer;
    case PeerConnectionOperation::setLocalDescription:
      return RTCPeerConnectionControl::Operation::setLocalDescription;
    case PeerConnectionOperation::setRemoteDescription:
      return RTCPeerConnectionControl::Operation::setRemoteDescription;
    case PeerConnectionOperation::addIceCandidate:
      return RTCPeerConnectionControl::Operation::addIceCandidate;
  }
  return RTCPeerConnectionControl::Operation::createOffer;
}

}  // namespace

void failNext(RTCPeerConnection& connection, PeerConnectionOperation operation, NSError error) {
  RTCPeerConnectionControl::fail(connection, toOperation(operation), std::move(error));
}

void setNextStatisticsTimestamp(RTCPeerConnection& connection, double timestampUs) {
  RTCPeerConnectionControl::setTimestamp(connection, timestampUs);
}

void changeSignalingState(RTCPeerConnection& connection, int state) {
  auto value = static_cast<RTCSignalingState>(state);
  RTCPeerConnectionControl::setStates(connection, value, {}, {}, {});
  RTCPeerConnectionControl::post(connection,
                                 [value](Delegate& delegate, RTCPeerConnection& target) {
                                   delegate.peerConnectionDidChangeSignalingState(target, value);
                                 });
}

void changeIceConnectionState(RTCPeerConnection& connection, int state) {
  auto value = static_cast<RTCIceConnectionState>(state);
  RTCPeerConnectionControl::setStates(connection, {}, value, {}, {});
  RTCPeerConnectionControl::post(
      connection, [value](Delegate& delegate, RTCPeerConnection& target) {
        delegate.peerConnectionDidChangeIceConnectionState(target, value);
      });
}

void changeIceGatheringState(RTCPeerConnection& connection, int state) {
  auto value = static_cast<RTCIceGatheringState>(state);
  RTCPeerConnectionControl::setStates(connection, {}, {}, value, {});
  RTCPeerConnectionControl::post(connection,
                                 [value](Delegate& delegate, RTCPeerConnection& target) {
                                   delegate.peerConnectionDidChangeIceGatheringState(target, value);
                                 });
}

void changeConnectionState(RTCPeerConnection& connection, int state) {
  auto value = static_cast<RTCPeerConnectionState>(state);
  RTCPeerConnectionControl::setStates(connection, {}, {}, {}, value);
  RTCPeerConnectionControl::post(connection,
                                 [value](Delegate& delegate, RTCPeerConnection& target) {
                                   delegate.peerConnectionDidChangeConnectionState(target, value);
                                 });
}

void generateIceCandidate(RTCPeerConnection& connection, const RTCIceCandidate& candidate) {
  RTCPeerConnectionControl::post(
      connection, [candidate](Delegate& delegate, RTCPeerConnection& target) {
        delegate.peerConnectionDidGenerateIceCandidate(target, candidate);
      });
}

void requestNegotiation(RTCPeerConnection& connection) {
  RTCPeerConnectionControl::post(connection, [](Delegate& delegate, RTCPeerConnection& target) {
    delegate.peerConnectionShouldNegotiate(target);
  });
}

void addRemoteStream(RTCPeerConnection& connection, const std::shared_ptr<RTCMediaStream>& stream) {
  RTCPeerConnectionControl::post(connection,
                                 [stream](Delegate& delegate, RTCPeerConnection& target) {
                                   delegate.peerConnectionDidAddStream(target, stream);
                                 });
}

void removeRemoteStream(RTCPeerConnection& connection,
                        const std::shared_ptr<RTCMediaStream>& stream) {
  RTCPeerConnectionControl::post(connection,
                                 [stream](Delegate& delegate, RTCPeerConnection& target) {
                                   delegate.peerConnectionDidRemoveStream(target, stream);
                                 });
}

void addTrackToRemoteStream(RTCPeerConnection& connection,
                            const std::shared_ptr<RTCMediaStream>& stream,
                            const std::shared_ptr<RTCMediaStreamTrack>& track) {
  RTCPeerConnectionControl::post(
      connection, [stream, track](Delegate& delegate, RTCPeerConnection& target) {
        delegate.peerConnectionMediaStreamDidAddTrack(target, stream, track);
      });
}

void removeTrackFromRemoteStream(RTCPeerConnection& connection,
                                 const std::shared_ptr<RTCMediaStream>& stream,
                                 const std::shared_ptr<RTCMediaStreamTrack>& track) {
  RTCPeerConnectionControl::post(
      connection, [stream, track](Delegate& delegate, RTCPeerConnection& target) {
        delegate.peerConnectionMediaStreamDidRemoveTrack(target, stream, track);
      });
}

std::shared_ptr<RTCRtpReceiver> addRemoteReceiver(RTCPeerConnection& connection,
                                                  const std::string& kind,
                                                  const std::string& trackId,
                                                  const std::vector<std::string>& streamIds) {
  const auto media_type =
      kind == kRTCMediaStreamTrackKindVideo ? RTCRtpMediaTypeVideo : RTCRtpMediaTypeAudio;
  auto transceiver = RTCPeerConnectionControl::addReceiving(connection, media_type, trackId);
  auto receiver = transceiver->receiver();
  std::vector<std::shared_ptr<RTCMediaStream>> streams;
  for (const auto& stream_id : streamIds) {
    auto stream = RTCPeerConnectionControl::remoteStream(connection, stream_id);
    if (auto audio = std::dynamic_pointer_cast<RTCAudioTrack>(receiver->track())) {
      stream->addAudioTrack(audio);
    }
    if (auto video = std::dynamic_pointer_cast<RTCVideoTrack>(receiver->track())) {
      stream->addVideoTrack(video);
    }
    streams.push_back(stream);
  }
  RTCPeerConnectionControl::post(
      connection, [receiver, streams](Delegate& delegate, RTCPeerConnection& target) {
        delegate.peerConnectionDidAddReceiver(target, receiver, streams);
      });
  return receiver;
}

std::shared_ptr<RTCDataChannel> openRemoteDataChannel(RTCPeerConnection& connection,
                                                      const std::string& label, int channelId) {
  auto channel = RTCPeerConnectionControl::addDataChannel(connection, label, channelId);
  RTCPeerConnectionControl::post(connection,
                                 [channel](Delegate& delegate, RTCPeerConnection& target) {
                                   delegate.peerConnectionDidOpenDataChannel(target, channel);
                                 });
  RTCDataChannelControl::open(*channel);
  return channel;
}

void changeSelectedCandidatePair(RTCPeerConnection& connection, const RTCIceCandidate& local,
                                 const RTCIceCandidate& remote, int lastDataReceivedMs,
                                 const std::string& reason) {
  RTCPeerConnectionControl::post(connection, [local, remote, lastDataReceivedMs, reason](
                                                 Delegate& delegate, RTCPeerConnection& target) {
    delegate.peerConnectionDidChangeLocalCandidate(target, local, remote, lastDataReceivedMs,
                                                   reason);
  });
}

std::vector<RTCIceCandidate> remoteCandidates(const RTCPeerConnection& connection) {
  return RTCPeerConnectionControl::remoteCandidates(connection);
}

std::vector<std::string> insertedDtmfTones(const RTCDtmfSender& sender) {
  return RTCDtmfSenderControl::tones(sender);
}

void changeBufferedAmount(RTCDataChannel& channel, uint64_t amount) {
  RTCDataChannelControl::bufferedAmount(channel, amount);
}

void waitForSignalingThread(RTCPeerConnection& connection) {
  runOnQueueAndWait(RTCPeerConnectionControl::queue(connection), nullptr, "the signaling thread");
}

bool connectPeerConnections(const std::shared_ptr<RTCPeerConnection>& offerer,
                            const std::shared_ptr<RTCPeerConnection>& answerer,
                            std::chrono::milliseconds timeout) {
  auto wait = [timeout](const dispatch_semaphore_t& semaphore) {
    return dispatch_semaphore_wait(
               semaphore, dispatch_time(DISPATCH_TIME_NOW, timeout.count() * NSEC_PER_MSEC)) == 0;
  };
  // Completions may outlive a timed-out wait, so they share what they write.
  auto describe = [&wait](RTCPeerConnection& connection,
                          bool offer) -> std::optional<RTCSessionDescription> {
    struct Outcome {
      dispatch_semaphore_t done = dispatch_semaphore_create(0);
      std::optional<RTCSessionDescription> description;
    };
    auto outcome = std::make_shared<Outcome>();
    auto handler = [outcome](std::optional<RTCSessionDescription> description,
                             std::optional<NSError>) {
      outcome->description = std::move(description);
      dispatch_semaphore_signal(outcome->done);
    };
    if (offer) {
      connection.offerForConstraints(RTCMediaConstraints(), handler);
    } else {
      connection.answerForConstraints(RTCMediaConstraints(), handler);
    }
    if (!wait(outcome->done)) return std::nullopt;
    return outcome->description;
  };
  auto apply = [&wait](RTCPeerConnection& connection, const RTCSessionDescription& description,
                       bool local) {
    struct Outcome {
      dispatch_semaphore_t done = dispatch_semaphore_create(0);
      bool succeeded = false;
    };
    auto outcome = std::make_shared<Outcome>();
    auto handler = [outcome](std::optional<NSError> error) {
      outcome->succeeded = !error;
      dispatch_semaphore_signal(outcome->done);
    };
    if (local) {
      connection.setLocalDescription(description, handler);
    } else {
      connection.setRemoteDescription(description, handler);
    }
    return wait(outcome->done) && outcome->succeeded;
  };
  auto offer = describe(*offerer, true);
  if (!offer || !apply(*offerer, *offer, true) || !apply(*answerer, *offer, false)) return false;
  auto answer = describe(*answerer, false);
  if (!answer || !apply(*answerer, *answer, true) || !apply(*offerer, *answer, false)) return false;
  waitForSignalingThread(*offerer);
  waitForSignalingThread(*answerer);
  for (const auto& [from, to] : {std::pair{offerer, answerer}, std::pair{answerer, offerer}}) {
    for (const auto& candidate : RTCPeerConnectionControl::localCandidatesOf(*from)) {
      to->addIceCandidate(candidate, nullptr);
    }
  }
  // Each round lets the two signaling threads pass on what the previous round queued.
  for (int round = 0; round < 16; ++round) {
    waitForSignalingThread(*offerer);
    waitForSignalingThread(*answerer);
    if (offerer->connectionState() == RTCPeerConnectionStateConnected &&
        answerer->connectionState() == RTCPeerConnectionStateConnected) {
      return true;
    }
  }
  return false;
}

}  // namespace webrtc::testing
