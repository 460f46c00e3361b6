// Configuration, ICE-server, data-channel and constraint conversions, RTP tables, parameter
// updates, format-parameter lines and the H.264 level filter: pure logic, tested directly.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/foundation/testing/foundation_controls.h"
#include "plugins/webrtc_host/configuration_conversion.h"
#include "plugins/webrtc_host/h264_level_filter.h"
#include "plugins/webrtc_host/rtp_maps.h"
#include "plugins/webrtc_host/rtp_parameters_conversion.h"
#include "plugins/webrtc_host/sdp_fmtp_line.h"

namespace webrtc_host {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

TEST(ConfigurationConversionTest, AppliesWellTypedKeysAndKeepsDefaultsForTheRest) {
  const Value map = ValueMap{{"iceTransportPolicy", "relay"},
                             {"bundlePolicy", "max-bundle"},
                             {"rtcpMuxPolicy", "shouting"},
                             {"iceBackupCandidatePairPingInterval", int32_t{1000}},
                             {"iceConnectionReceivingTimeout", int64_t{5000}},
                             {"audioJitterBufferMaxPackets", "lots"},
                             {"maxIPv6Networks", 1e30},
                             {"enableDscp", true},
                             {"keyType", int32_t{0}},
                             {"cryptoOptions", ValueMap{}}};
  RTCConfiguration configuration = toRTCConfiguration(&map);
  RTCConfiguration defaults;
  EXPECT_EQ(configuration.iceTransportPolicy, RTCIceTransportPolicyRelay);
  EXPECT_EQ(configuration.bundlePolicy, RTCBundlePolicyMaxBundle);
  EXPECT_EQ(configuration.rtcpMuxPolicy, defaults.rtcpMuxPolicy);
  EXPECT_EQ(configuration.iceBackupCandidatePairPingInterval, 1000);
  EXPECT_EQ(configuration.iceConnectionReceivingTimeout, 5000);
  EXPECT_EQ(configuration.audioJitterBufferMaxPackets, defaults.audioJitterBufferMaxPackets);
  EXPECT_EQ(configuration.maxIPv6Networks, std::numeric_limits<int>::max());
  EXPECT_TRUE(configuration.enableDscp);
  EXPECT_EQ(configuration.keyType, defaults.keyType);
  ASSERT_TRUE(configuration.cryptoOptions.has_value());
  EXPECT_EQ(*configuration.cryptoOptions,
            RTCCryptoOptions(false, false, false, true, false, false));

  foundation::testing::setLogCapture(true);
  const Value list = ValueList{};
  EXPECT_EQ(toRTCConfiguration(&list), defaults);
  auto lines = foundation::testing::takeLogLines();
  foundation::testing::setLogCapture(false);
  EXPECT_NE(std::find(lines.begin(), lines.end(), "must be an object"), lines.end());
}

TEST(ConfigurationConversionTest, IceServersDropWhatIsNotAServer) {
  const Value map = ValueMap{
      {"iceServers", ValueList{ValueMap{{"urls", "stun:one"}}, "not a map",
                               ValueMap{{"url", "stun:two"}, {"urls", ValueList{"stun:ignored"}}},
                               ValueMap{{"urls", ValueList{"turn:three", int32_t{4}}},
                                        {"username", "user"},
                                        {"credential", int32_t{12}}},
                               ValueMap{{"urls", ValueList{}}}, ValueMap{{"username", "lonely"}}}}};
  auto servers = toRTCConfiguration(&map).iceServers;
  ASSERT_EQ(servers.size(), 3u);
  EXPECT_EQ(servers[0], RTCIceServer({"stun:one"}));
  EXPECT_EQ(servers[1], RTCIceServer({"stun:two"}));
  EXPECT_EQ(servers[2], RTCIceServer({"turn:three"}, "user", std::nullopt));
  EXPECT_EQ(toRTCIceServer(nullptr), std::nullopt);
}

TEST(ConfigurationConversionTest, DataChannelOptionsIgnoreWrongTypes) {
  const Value map = ValueMap{{"id", int32_t{7}},
                             {"ordered", false},
                             {"maxRetransmits", "three"},
                             {"negotiated", true},
                             {"protocol", int32_t{9}}};
  auto configuration = toRTCDataChannelConfiguration(&map);
  ASSERT_TRUE(configuration.has_value());
  EXPECT_EQ(configuration->channelId, 7);
  EXPECT_FALSE(configuration->isOrdered);
  EXPECT_EQ(configuration->maxRetransmits, -1);
  EXPECT_TRUE(configuration->isNegotiated);
  EXPECT_EQ(configuration->protocol, "");
  const Value list = ValueList{};
  EXPECT_EQ(toRTCDataChannelConfiguration(&list), std::nullopt);
}

TEST(ConfigurationConversionTest, ConstraintsBecomeStringPairs) {
  const Value map = ValueMap{{"mandatory", ValueMap{{"a", true}, {"b", int32_t{0}}, {"c", "text"}}},
                             {"optional", ValueList{ValueMap{{"k", int32_t{1}}}, int32_t{5},
                                                    ValueMap{{"k", int32_t{0}}}}}};
  auto constraints = parseMediaConstraints(&map);
  EXPECT_EQ(constraints.mandatory(),
            (std::map<std::string, std::string>{{"a", "true"}, {"b", "false"}, {"c", "text"}}));
  EXPECT_EQ(constraints.optional(), (std::map<std::string, std::string>{{"k", "false"}}));
  EXPECT_TRUE(parseMediaConstraints(nullptr).mandatory().empty());
  EXPECT_EQ(parseRect(ValueMap{{"left", 1.5}, {"top", int32_t{2}}, {"width", "3"}}),
            CGRectMake(1.5, 2, 3, 0));
}

TEST(RtpConversionTest, TablesAndEncodings) {
  EXPECT_EQ(bitratePriorityToString(0.5), "very-low");
  EXPECT_EQ(bitratePriorityToString(1.5), "medium");
  EXPECT_EQ(bitratePriorityToString(3.0), "high");
  EXPECT_EQ(stringToTransceiverDirection("stopped"), RTCRtpTransceiverDirectionInactive);
  EXPECT_EQ(transceiverDirectionString(RTCRtpTransceiverDirectionStopped), "stopped");
  EXPECT_EQ(transceiverDirectionString(9), std::nullopt);
  EXPECT_EQ(rtcPriorityToString(7), "low");
  EXPECT_EQ(degradationPreferenceToString(std::nullopt), "balanced");
  EXPECT_EQ(degradationPreferenceToString(0), "maintain-framerate-and-resolution");

  auto encoding = mapToEncoding(ValueMap{});
  EXPECT_TRUE(encoding.isActive);
  EXPECT_EQ(encoding.scaleResolutionDownBy, 1.0);
  EXPECT_EQ(encoding.numTemporalLayers, 1);
  EXPECT_EQ(encoding.networkPriority, RTCPriorityLow);
  EXPECT_EQ(encoding.bitratePriority, 1.0);

  auto typed = mapToEncoding(ValueMap{{"rid", "h"},
                                      {"maxBitrate", "fast"},
                                      {"scaleResolutionDownBy", std::nan("")},
                                      {"priority", "high"},
                                      {"networkPriority", int32_t{3}},
                                      {"maxFramerate", int32_t{15}}});
  EXPECT_EQ(typed.rid, "h");
  EXPECT_FALSE(typed.maxBitrateBps.has_value());
  EXPECT_EQ(typed.scaleResolutionDownBy, 1.0);
  EXPECT_EQ(typed.bitratePriority, 4.0);
  EXPECT_EQ(typed.networkPriority, RTCPriorityLow);
  EXPECT_EQ(typed.maxFramerate, 15);
}

TEST(RtpConversionTest, UpdatesMatchByRidThenByIndex) {
  RTCRtpParameters parameters;
  parameters.encodings.resize(2);
  parameters.encodings[0].rid = "low";
  parameters.encodings[1].rid = "high";
  updateRtpParameters(
      parameters,
      ValueMap{{"degradationPreference", "nonsense"},
               {"encodings", ValueList{ValueMap{{"rid", "high"}, {"active", false}},
                                       ValueMap{{"rid", ""}, {"maxBitrate", int32_t{9}}},
                                       ValueMap{{"maxBitrate", int32_t{1}}}}}});
  EXPECT_FALSE(parameters.degradationPreference.has_value());
  EXPECT_FALSE(parameters.encodings[1].isActive);
  EXPECT_TRUE(parameters.encodings[0].isActive);
  EXPECT_EQ(parameters.encodings[1].maxBitrateBps, 9);
  EXPECT_EQ(parameters.encodings[1].rid, "high");
  updateRtpParameters(parameters, ValueMap{{"degradationPreference", "maintain-resolution"}});
  EXPECT_EQ(parameters.degradationPreference, RTCDegradationPreferenceMaintainResolution);
}

TEST(FmtpLineTest, ReadsAndWritesPairs) {
  EXPECT_EQ(fmtpLineFromParameters({{"a", "1"}, {"b", "2"}}), "a=1;b=2");
  EXPECT_EQ(fmtpLineFromParameters({}), "");
  EXPECT_EQ(parametersFromFmtpLine("a=1;lonely;x=y=z;a=3"),
            (std::map<std::string, std::string>{{"", "lonely"}, {"a", "3"}}));
}

TEST(H264LevelFilterTest, RaisesLowLevelsAndKeepsTheRest) {
  const std::vector<RTCVideoCodecInfo> codecs{
      RTCVideoCodecInfo("VP8"),
      RTCVideoCodecInfo("H264", {{"profile-level-id", "42e01f"}, {"packetization-mode", "1"}}),
      RTCVideoCodecInfo("H264", {{"profile-level-id", "640c34"}}),
      RTCVideoCodecInfo("H264", {{"profile-level-id", "zzzzzz"}}), RTCVideoCodecInfo("H264")};
  auto filtered = filterH264Levels(codecs);
  ASSERT_EQ(filtered.size(), codecs.size());
  EXPECT_EQ(filtered[0], codecs[0]);
  EXPECT_EQ(filtered[1].parameters,
            (std::map<std::string, std::string>{{"profile-level-id", "42e033"},
                                                {"packetization-mode", "1"}}));
  EXPECT_EQ(filtered[2], codecs[2]);
  EXPECT_EQ(filtered[3], codecs[3]);
  EXPECT_EQ(filtered[4], codecs[4]);
}

}  // namespace
}  // namespace webrtc_host
