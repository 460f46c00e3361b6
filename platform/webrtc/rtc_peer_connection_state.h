// The states a peer connection reports.
#pragma once

enum RTCSignalingState : int {
  RTCSignalingStateStable = 0,
  RTCSignalingStateHaveLocalOffer = 1,
  RTCSignalingStateHaveLocalPrAnswer = 2,
  RTCSignalingStateHaveRemoteOffer = 3,
  RTCSignalingStateHaveRemotePrAnswer = 4,
  RTCSignalingStateClosed = 5,
};

enum RTCIceConnectionState : int {
  RTCIceConnectionStateNew = 0,
  RTCIceConnectionStateChecking = 1,
  RTCIceConnectionStateConnected = 2,
  RTCIceConnectionStateCompleted = 3,
  RTCIceConnectionStateFailed = 4,
  RTCIceConnectionStateDisconnected = 5,
  RTCIceConnectionStateClosed = 6,
  RTCIceConnectionStateCount = 7,
};

enum RTCIceGatheringState : int {
  RTCIceGatheringStateNew = 0,
  RTCIceGatheringStateGathering = 1,
  RTCIceGatheringStateComplete = 2,
};

enum RTCPeerConnectionState : int {
  RTCPeerConnectionStateNew = 0,
  RTCPeerConnectionStateConnecting = 1,
  RTCPeerConnectionStateConnected = 2,
  RTCPeerConnectionStateDisconnected = 3,
  RTCPeerConnectionStateFailed = 4,
  RTCPeerConnectionStateClosed = 5,
};
