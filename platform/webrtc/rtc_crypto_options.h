// SRTP and frame-encryption options of a configuration.
#pragma once

struct RTCCryptoOptions {
  RTCCryptoOptions(bool srtpEnableGcmCryptoSuites, bool srtpPreferGcmCryptoSuites,
                   bool srtpEnableAes128Sha1_32CryptoCipher,
                   bool srtpEnableAes128Sha1_80CryptoCipher,
                   bool srtpEnableEncryptedRtpHeaderExtensions, bool sframeRequireFrameEncryption)
      : srtpEnableGcmCryptoSuites(srtpEnableGcmCryptoSuites),
        srtpPreferGcmCryptoSuites(srtpPreferGcmCryptoSuites),
        srtpEnableAes128Sha1_32CryptoCipher(srtpEnableAes128Sha1_32CryptoCipher),
        srtpEnableAes128Sha1_80CryptoCipher(srtpEnableAes128Sha1_80CryptoCipher),
        srtpEnableEncryptedRtpHeaderExtensions(srtpEnableEncryptedRtpHeaderExtensions),
        sframeRequireFrameEncryption(sframeRequireFrameEncryption) {}

  bool srtpEnableGcmCryptoSuites;
  bool srtpPreferGcmCryptoSuites;
  bool srtpEnableAes128Sha1_32CryptoCipher;
  bool srtpEnableAes128Sha1_80CryptoCipher;
  bool srtpEnableEncryptedRtpHeaderExtensions;
  bool sframeRequireFrameEncryption;

  friend bool operator==(const RTCCryptoOptions&, const RTCCryptoOptions&) = default;
};
