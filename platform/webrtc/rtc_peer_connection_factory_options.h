// Options of a peer-connection factory: network adapters its connections do not use.
#pragma once

struct RTCPeerConnectionFactoryOptions {
  bool disableEncryption = false;
  bool disableNetworkMonitor = false;
  bool ignoreLoopbackNetworkAdapter = false;
  bool ignoreVPNNetworkAdapter = false;
  bool ignoreCellularNetworkAdapter = false;
  bool ignoreWiFiNetworkAdapter = false;
  bool ignoreEthernetNetworkAdapter = false;

  friend bool operator==(const RTCPeerConnectionFactoryOptions&,
                         const RTCPeerConnectionFactoryOptions&) = default;
};
