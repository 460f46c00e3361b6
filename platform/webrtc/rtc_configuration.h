// The configuration of a peer connection, with the framework's defaults.
#pragma once

#include <optional>
#include <vector>

#include "platform/webrtc/rtc_crypto_options.h"
#include "platform/webrtc/rtc_ice_server.h"

enum RTCIceTransportPolicy : int {
  RTCIceTransportPolicyNone = 0,
  RTCIceTransportPolicyRelay = 1,
  RTCIceTransportPolicyNoHost = 2,
  RTCIceTransportPolicyAll = 3,
};
enum RTCBundlePolicy : int {
  RTCBundlePolicyBalanced = 0,
  RTCBundlePolicyMaxCompat = 1,
  RTCBundlePolicyMaxBundle = 2,
};
enum RTCRtcpMuxPolicy : int { RTCRtcpMuxPolicyNegotiate = 0, RTCRtcpMuxPolicyRequire = 1 };
enum RTCTcpCandidatePolicy : int {
  RTCTcpCandidatePolicyEnabled = 0,
  RTCTcpCandidatePolicyDisabled = 1
};
enum RTCCandidateNetworkPolicy : int {
  RTCCandidateNetworkPolicyAll = 0,
  RTCCandidateNetworkPolicyLowCost = 1,
};
enum RTCContinualGatheringPolicy : int {
  RTCContinualGatheringPolicyGatherOnce = 0,
  RTCContinualGatheringPolicyGatherContinually = 1,
};
enum RTCEncryptionKeyType : int { RTCEncryptionKeyTypeRSA = 0, RTCEncryptionKeyTypeECDSA = 1 };
enum RTCSdpSemantics : int { RTCSdpSemanticsPlanB = 0, RTCSdpSemanticsUnifiedPlan = 1 };

struct RTCConfiguration {
  std::vector<RTCIceServer> iceServers;
  RTCIceTransportPolicy iceTransportPolicy = RTCIceTransportPolicyAll;
  RTCBundlePolicy bundlePolicy = RTCBundlePolicyBalanced;
  RTCRtcpMuxPolicy rtcpMuxPolicy = RTCRtcpMuxPolicyRequire;
  RTCTcpCandidatePolicy tcpCandidatePolicy = RTCTcpCandidatePolicyEnabled;
  RTCCandidateNetworkPolicy candidateNetworkPolicy = RTCCandidateNetworkPolicyAll;
  RTCContinualGatheringPolicy continualGatheringPolicy = RTCContinualGatheringPolicyGatherOnce;
  RTCEncryptionKeyType keyType = RTCEncryptionKeyTypeECDSA;
  RTCSdpSemantics sdpSemantics = RTCSdpSemanticsUnifiedPlan;
  int audioJitterBufferMaxPackets = 200;
  bool audioJitterBufferFastAccelerate = false;
  int iceConnectionReceivingTimeout = -1;
  int iceBackupCandidatePairPingInterval = -1;
  int maxIPv6Networks = 5;
  bool enableDscp = false;
  bool enableSctpSnap = false;
  bool shouldPruneTurnPorts = false;
  bool shouldPresumeWritableWhenFullyRelayed = false;
  std::optional<RTCCryptoOptions> cryptoOptions;

  friend bool operator==(const RTCConfiguration&, const RTCConfiguration&) = default;
};
