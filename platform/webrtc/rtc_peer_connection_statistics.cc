// Statistics reports of a connection, a sender or a receiver.
#include <chrono>

#include "platform/webrtc/rtc_peer_connection.h"

namespace {

double nowMicroseconds() {
  using std::chrono::duration_cast;
  using std::chrono::microseconds;
  using std::chrono::system_clock;
  return static_cast<double>(
      duration_cast<microseconds>(system_clock::now().time_since_epoch()).count());
}

RTCStatistics statistic(std::string id, std::string type, double timestamp) {
  RTCStatistics entry;
  entry.id = std::move(id);
  entry.type = std::move(type);
  entry.timestamp_us = timestamp;
  return entry;
}

}  // namespace

RTCStatisticsReport RTCPeerConnection::buildStatistics(
    const std::shared_ptr<RTCRtpSender>& onlySender,
    const std::shared_ptr<RTCRtpReceiver>& onlyReceiver) {
  RTCStatisticsReport report;
  report.timestamp_us = statistics_timestamp_override_.value_or(nowMicroseconds());
  statistics_timestamp_override_.reset();
  const double at = report.timestamp_us;
  auto add = [&report](RTCStatistics entry) {
    std::string id = entry.id;
    report.statistics.emplace(std::move(id), std::move(entry));
  };

  const bool whole = !onlySender && !onlyReceiver;
  if (whole) {
    auto connection = statistic("P", "peer-connection", at);
    int64_t open = 0;
    int64_t closed = 0;
    for (const auto& channel : data_channels_) {
      auto state = channel->readyState();
      if (state == RTCDataChannelStateOpen) ++open;
      if (state == RTCDataChannelStateClosed) ++closed;
    }
    connection.values["dataChannelsOpened"] = open;
    connection.values["dataChannelsClosed"] = closed;
    add(std::move(connection));
  }
  auto transport = statistic("T01", "transport", at);
  transport.values["dtlsState"] = std::string(connected_ ? "connected" : "new");
  transport.values["selectedCandidatePairChanges"] = int64_t{connected_ ? 1 : 0};
  add(std::move(transport));
  if (connected_) {
    auto pair = statistic("CP01", "candidate-pair", at);
    pair.values["state"] = std::string("succeeded");
    pair.values["nominated"] = true;
    add(std::move(pair));
  }
  for (const auto& transceiver : transceivers_) {
    const std::string kind = transceiver->mediaType() == RTCRtpMediaTypeVideo ? "video" : "audio";
    const auto& sender = transceiver->sender();
    if ((whole || sender == onlySender) && sender->track()) {
      auto outbound = statistic("OT" + sender->senderId(), "outbound-rtp", at);
      auto parameters = sender->parameters();
      if (!parameters.encodings.empty() && parameters.encodings[0].ssrc) {
        outbound.values["ssrc"] = uint64_t{*parameters.encodings[0].ssrc};
      }
      outbound.values["kind"] = kind;
      outbound.values["mid"] = transceiver->mid();
      outbound.values["trackIdentifier"] = sender->track()->trackId();
      outbound.values["packetsSent"] = uint64_t{0};
      outbound.values["bytesSent"] = uint64_t{0};
      add(std::move(outbound));
    }
    const auto& receiver = transceiver->receiver();
    if (whole ? !transceiver->mid().empty() : receiver == onlyReceiver) {
      auto inbound = statistic("IT" + receiver->receiverId(), "inbound-rtp", at);
      inbound.values["kind"] = kind;
      inbound.values["mid"] = transceiver->mid();
      inbound.values["trackIdentifier"] = receiver->track()->trackId();
      inbound.values["packetsReceived"] = uint64_t{0};
      inbound.values["bytesReceived"] = uint64_t{0};
      add(std::move(inbound));
    }
  }
  return report;
}

void RTCPeerConnection::statisticsWithCompletionHandler(StatisticsHandler completionHandler) {
  onSignalingThread([handler = std::move(completionHandler)](RTCPeerConnection& self) {
    RTCStatisticsReport report;
    {
      std::lock_guard lock(self.mutex_);
      report = self.buildStatistics(nullptr, nullptr);
    }
    if (handler) handler(report);
  });
}

void RTCPeerConnection::statisticsForSender(const std::shared_ptr<RTCRtpSender>& sender,
                                            StatisticsHandler completionHandler) {
  onSignalingThread([sender, handler = std::move(completionHandler)](RTCPeerConnection& self) {
    RTCStatisticsReport report;
    {
      std::lock_guard lock(self.mutex_);
      report = self.buildStatistics(sender, nullptr);
    }
    if (handler) handler(report);
  });
}

void RTCPeerConnection::statisticsForReceiver(const std::shared_ptr<RTCRtpReceiver>& receiver,
                                              StatisticsHandler completionHandler) {
  onSignalingThread([receiver, handler = std::move(completionHandler)](RTCPeerConnection& self) {
    RTCStatisticsReport report;
    {
      std::lock_guard lock(self.mutex_);
      report = self.buildStatistics(nullptr, receiver);
    }
    if (handler) handler(report);
  });
}
