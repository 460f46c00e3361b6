// Options of a new data channel, with the framework's defaults.
#pragma once

#include <string>

struct RTCDataChannelConfiguration {
  bool isOrdered = true;
  // -1: no limit.
  int maxPacketLifeTime = -1;
  int maxRetransmits = -1;
  bool isNegotiated = false;
  // -1: chosen by the framework when the channel opens.
  int channelId = -1;
  std::string protocol;
};
