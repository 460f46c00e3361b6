// Transceivers, senders, receivers, RTP parameters, capabilities and codec preferences.
#include "platform/webrtc/testing/framework_controls.h"
#include "plugins/webrtc_host/tests/webrtc_host_test.h"

namespace webrtc_host::testing {
namespace {

class RtpTest : public WebRTCHostTest {
 protected:
  RtpTest() {
    initialize();
    id = createPeerConnection();
  }
  ValueMap with(ValueMap arguments) {
    arguments.set("peerConnectionId", id);
    return arguments;
  }
  std::string id;
};

TEST_F(RtpTest, AddAndRemoveTracks) {
  EXPECT_EQ(call("addTrack", with({{"trackId", "nope"}})).error,
            failed("addTrackFailed", "Error: track not found!"));
  EXPECT_TRUE(framework(id)->senders().empty());
  auto [stream_id, track_id] = displayMedia();
  auto sender = ok("addTrack", with({{"trackId", track_id}, {"streamIds", ValueList{stream_id}}}));
  EXPECT_EQ(*sender.find("senderId"), Value(track_id));
  EXPECT_EQ(*sender.find("track")->find("id"), Value(track_id));
  EXPECT_EQ(*sender.find("ownsTrack"), Value(true));
  // A video sender has no DTMF sender, yet the map carries one with zero times.
  EXPECT_EQ(*sender.find("dtmfSender"),
            Value(ValueMap{{"dtmfSenderId", track_id}, {"interToneGap", 0.0}, {"duration", 0.0}}));
  EXPECT_EQ(call("addTrack", with({{"trackId", track_id}})).error.message,
            "Error: peerConnection.addTrack failed!");

  EXPECT_EQ(call("removeTrack", with({{"senderId", "nope"}})).error,
            failed("removeTrackFailed", "Error: sender not found!"));
  EXPECT_EQ(ok("removeTrack", with({{"senderId", track_id}})), Value(ValueMap{{"result", true}}));
  auto senders = ok("getSenders", with({}));
  EXPECT_EQ(*senders.find("senders")->asList()->at(0).find("track"), Value(ValueMap{}));
}

TEST_F(RtpTest, AddTransceiverByTrackOrKind) {
  EXPECT_EQ(call("addTransceiver", with({})).error,
            failed("addTransceiverFailed", "Error: Incomplete parameters!"));
  EXPECT_EQ(call("addTransceiver", with({{"trackId", "nope"}})).error.message,
            "Error: can't addTransceiver!");
  auto [stream_id, track_id] = displayMedia();
  auto by_track = ok("addTransceiver", with({{"trackId", track_id}, {"mediaType", "audio"}}));
  EXPECT_EQ(*by_track.find("sender")->find("track")->find("kind"), Value("video"));
  EXPECT_EQ(*by_track.find("transceiverId"), Value(""));
  EXPECT_EQ(*by_track.find("mid"), Value(""));
  auto by_kind = ok("addTransceiver",
                    with({{"mediaType", "audio"},
                          {"transceiverInit",
                           ValueMap{{"direction", "recvonly"},
                                    {"streamIds", ValueList{"s"}},
                                    {"sendEncodings",
                                     ValueList{ValueMap{{"rid", "f"}, {"maxBitrate", int32_t{900}}},
                                               ValueMap{{"rid", "h"}, {"active", false}}}}}}}));
  EXPECT_EQ(*by_kind.find("direction"), Value("recvonly"));
  const auto& encodings =
      *by_kind.find("sender")->find("rtpParameters")->find("encodings")->asList();
  ASSERT_EQ(encodings.size(), 2u);
  EXPECT_EQ(*encodings[0].find("maxBitrate"), Value(int32_t{900}));
  EXPECT_EQ(*encodings[1].find("active"), Value(false));
  EXPECT_EQ(*encodings[1].find("priority"), Value("low"));
  EXPECT_NE(encodings[1].find("ssrc"), nullptr);
  EXPECT_EQ(ok("getTransceivers", with({})).find("transceivers")->asList()->size(), 2u);
}

TEST_F(RtpTest, DirectionsBeforeAndAfterNegotiation) {
  ok("addTransceiver", with({{"mediaType", "video"}}));
  // Without a mid the transceiver answers to the empty id.
  EXPECT_TRUE(
      ok("rtpTransceiverSetDirection", with({{"transceiverId", ""}, {"direction", "sendonly"}}))
          .isNull());
  EXPECT_EQ(ok("rtpTransceiverGetDirection", with({{"transceiverId", ""}})),
            Value(ValueMap{{"result", "sendonly"}}));
  EXPECT_TRUE(ok("rtpTransceiverGetCurrentDirection", with({{"transceiverId", ""}})).isNull());

  const std::string other = createPeerConnection();
  auto offer = ok("createOffer", with({}));
  ok("setLocalDescription", with({{"description", offer}}));
  ok("setRemoteDescription", {{"peerConnectionId", other}, {"description", offer}});
  auto answer = ok("createAnswer", {{"peerConnectionId", other}});
  ok("setRemoteDescription", with({{"description", answer}}));
  EXPECT_EQ(ok("rtpTransceiverGetCurrentDirection", with({{"transceiverId", "0"}})),
            Value(ValueMap{{"result", "sendonly"}}));
  EXPECT_TRUE(ok("rtpTransceiverStop", with({{"transceiverId", "0"}})).isNull());
  EXPECT_EQ(ok("rtpTransceiverGetDirection", with({{"transceiverId", "0"}})),
            Value(ValueMap{{"result", "stopped"}}));
  // A stopped transceiver refuses a new direction, and the call says so.
  EXPECT_EQ(
      call("rtpTransceiverSetDirection", with({{"transceiverId", "0"}, {"direction", "sendrecv"}}))
          .error,
      failed("rtpTransceiverSetDirectionFailed",
             "Error: The transceiver cannot take that direction"));
  EXPECT_EQ(call("rtpTransceiverStop", with({{"transceiverId", "9"}})).error.code,
            "rtpTransceiverStopFailed");
}

TEST_F(RtpTest, SenderParametersTracksAndStreams) {
  auto [stream_id, track_id] = displayMedia();
  ok("addTransceiver",
     with({{"trackId", track_id},
           {"transceiverInit", ValueMap{{"sendEncodings", ValueList{ValueMap{{"rid", "a"}},
                                                                    ValueMap{{"rid", "b"}}}}}}}));
  EXPECT_EQ(ok("rtpSenderSetParameters",
               with({{"rtpSenderId", track_id},
                     {"parameters",
                      ValueMap{{"degradationPreference", "maintain-framerate"},
                               {"encodings", ValueList{ValueMap{{"rid", "b"},
                                                                {"scaleResolutionDownBy", 2.0},
                                                                {"networkPriority", "high"}}}}}}})),
            Value(ValueMap{{"result", true}}));
  auto parameters = framework(id)->senders().at(0)->parameters();
  EXPECT_EQ(parameters.degradationPreference, RTCDegradationPreferenceMaintainFramerate);
  EXPECT_EQ(parameters.encodings[1].scaleResolutionDownBy, 2.0);
  EXPECT_EQ(parameters.encodings[1].networkPriority, RTCPriorityHigh);
  // Refused by the framework (a scale below 1): the call says so and nothing changes.
  EXPECT_EQ(
      ok("rtpSenderSetParameters",
         with({{"rtpSenderId", track_id},
               {"parameters",
                ValueMap{{"encodings", ValueList{ValueMap{{"scaleResolutionDownBy", 0.5}}}}}}})),
      Value(ValueMap{{"result", false}}));
  EXPECT_EQ(framework(id)->senders().at(0)->parameters().encodings[0].scaleResolutionDownBy, 1.0);
  auto senders = ok("getSenders", with({}));
  EXPECT_EQ(*senders.find("senders")
                 ->asList()
                 ->at(0)
                 .find("rtpParameters")
                 ->find("degradationPreference"),
            Value("maintain-framerate"));

  EXPECT_EQ(call("rtpSenderReplaceTrack", with({{"rtpSenderId", track_id}, {"trackId", "x"}}))
                .error.message,
            "Error: track not found!");
  // A track id of the wrong type names no track: the sender keeps its own.
  for (Value wrong : {Value(5), Value(ValueList{track_id}), Value(true)}) {
    EXPECT_EQ(call("rtpSenderReplaceTrack", with({{"rtpSenderId", track_id}, {"trackId", wrong}}))
                  .error,
              failed("rtpSenderReplaceTrackFailed", "Error: track not found!"));
  }
  EXPECT_NE(framework(id)->senders().at(0)->track(), nullptr);
  EXPECT_TRUE(
      ok("rtpSenderReplaceTrack", with({{"rtpSenderId", track_id}, {"trackId", ""}})).isNull());
  EXPECT_EQ(framework(id)->senders().at(0)->track(), nullptr);
  EXPECT_TRUE(
      ok("rtpSenderSetTrack", with({{"rtpSenderId", track_id}, {"trackId", track_id}})).isNull());
  EXPECT_NE(framework(id)->senders().at(0)->track(), nullptr);
  ok("rtpSenderSetStreams", with({{"rtpSenderId", track_id}, {"streamIds", ValueList{"x", "y"}}}));
  EXPECT_EQ(framework(id)->senders().at(0)->streamIds(), (std::vector<std::string>{"x", "y"}));
  EXPECT_EQ(ok("getReceivers", with({})).find("receivers")->asList()->size(), 1u);
}

TEST_F(RtpTest, CapabilitiesByKind) {
  auto audio = ok("getRtpSenderCapabilities", {{"kind", "audio"}});
  const auto& audio_codecs = *audio.find("codecs")->asList();
  ASSERT_FALSE(audio_codecs.empty());
  EXPECT_EQ(audio_codecs[0], Value(ValueMap{{"channels", int32_t{2}},
                                            {"clockRate", int32_t{48000}},
                                            {"mimeType", "audio/opus"},
                                            {"sdpFmtpLine", "minptime=10;useinbandfec=1"}}));
  EXPECT_EQ(*audio.find("headerExtensions"), Value(ValueList{}));
  EXPECT_EQ(*audio.find("fecMechanisms"), Value(ValueList{}));
  auto video = ok("getRtpReceiverCapabilities", {{"kind", "video"}});
  const auto& video_codecs = *video.find("codecs")->asList();
  EXPECT_EQ(video_codecs[0].find("channels"), nullptr);
  // The H.264 entries went through the level filter.
  EXPECT_NE(video_codecs[0].find("sdpFmtpLine")->asString()->find("profile-level-id=640c33"),
            std::string::npos);
  EXPECT_TRUE(ok("getRtpSenderCapabilities", {{"kind", "data"}}).find("codecs")->asList()->empty());
}

TEST_F(RtpTest, CodecPreferencesPickKnownCodecsInOrder) {
  ok("addTransceiver", with({{"mediaType", "video"}}));
  EXPECT_TRUE(
      ok("setCodecPreferences",
         with({{"transceiverId", ""},
               {"codecs",
                ValueList{ValueMap{{"mimeType", "Video/VP8"}}, ValueMap{{"mimeType", "video/NOPE"}},
                          ValueMap{{"mimeType", "nonsense"}}, ValueMap{{"mimeType", "video/VP9"}},
                          ValueMap{{"mimeType", "video/VP9"}, {"sdpFmtpLine", "profile-id=0"}}}}}))
          .isNull());
  auto preferences = framework(id)->transceivers().at(0)->codecPreferences();
  ASSERT_EQ(preferences.size(), 2u);
  EXPECT_EQ(preferences[0].name, "VP8");
  EXPECT_EQ(preferences[1].name, "VP9");

  auto refused =
      call("setCodecPreferences",
           with({{"transceiverId", ""},
                 {"codecs", ValueList{ValueMap{{"mimeType", "audio/opus"},
                                               {"sdpFmtpLine", "minptime=10;useinbandfec=1"}}}}}));
  EXPECT_EQ(refused.error.code, "SetCodecPreferencesError");
  EXPECT_EQ(call("setCodecPreferences", with({{"transceiverId", "7"}})).error,
            failed("transceiverSetCodecPreferencesFailed", "Error: transcevier not found!"));
  EXPECT_EQ(call("setCodecPreferences", {{"peerConnectionId", "x"}}).error,
            failed("transceiverSetCodecPreferencesFailed", "Error: peerConnection not found!"));
}

}  // namespace
}  // namespace webrtc_host::testing
