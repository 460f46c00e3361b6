#include "plugins/webrtc_host/configuration_conversion.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "platform/foundation/ns_log.h"
#include "plugins/webrtc_host/arguments.h"

namespace webrtc_host {
namespace {

using flutter::Value;

// A number read as the platform's intValue: 32 bits, saturated rather than wrapped.
std::optional<int> intOf(const Value* value) {
  if (value == nullptr || !value->isNumber()) return std::nullopt;
  if (auto* real = value->getIf<double>(); real != nullptr && std::isnan(*real)) return 0;
  constexpr int64_t kMin = std::numeric_limits<int>::min();
  constexpr int64_t kMax = std::numeric_limits<int>::max();
  return static_cast<int>(std::clamp(value->intValue(), kMin, kMax));
}

std::optional<bool> boolOf(const Value* value) {
  if (value == nullptr || !value->isNumber()) return std::nullopt;
  return value->boolValue();
}

const std::string* stringOf(const Value* value) {
  return value == nullptr ? nullptr : value->asString();
}

template <typename Enum>
void applyEnum(const Value& map, const char* key,
               std::initializer_list<std::pair<const char*, Enum>> table, Enum& target) {
  const std::string* text = stringOf(map.find(key));
  if (text == nullptr) return;
  for (const auto& [name, value] : table) {
    if (*text == name) {
      target = value;
      return;
    }
  }
}

RTCCryptoOptions toCryptoOptions(const Value& map) {
  auto flag = [&map](const char* key, bool fallback) {
    return boolOf(map.find(key)).value_or(fallback);
  };
  return RTCCryptoOptions(
      flag("enableGcmCryptoSuites", false), flag("preferGcmCryptoSuites", false),
      flag("enableAes128Sha1_32CryptoCipher", false), flag("enableAes128Sha1_80CryptoCipher", true),
      flag("enableEncryptedRtpHeaderExtensions", false), flag("requireFrameEncryption", false));
}

std::string describe(const Value& value) {
  if (const auto* text = value.asString()) return *text;
  if (value.isNumber() && !value.is<bool>()) return value.stringValue();
  return value.debugString();
}

}  // namespace

RTCConfiguration toRTCConfiguration(const flutter::Value* map) {
  RTCConfiguration configuration;
  if (map == nullptr || map->isNull()) return configuration;
  if (map->asMap() == nullptr) {
    NSLog("must be an object");
    return configuration;
  }
  const Value& settings = *map;
  if (auto value = intOf(settings.find("audioJitterBufferMaxPackets"))) {
    configuration.audioJitterBufferMaxPackets = *value;
  }
  if (auto value = boolOf(settings.find("enableSctpSnap"))) configuration.enableSctpSnap = *value;
  applyEnum<RTCBundlePolicy>(settings, "bundlePolicy",
                             {{"balanced", RTCBundlePolicyBalanced},
                              {"max-compat", RTCBundlePolicyMaxCompat},
                              {"max-bundle", RTCBundlePolicyMaxBundle}},
                             configuration.bundlePolicy);
  if (auto value = intOf(settings.find("iceBackupCandidatePairPingInterval"))) {
    configuration.iceBackupCandidatePairPingInterval = *value;
  }
  if (auto value = intOf(settings.find("iceConnectionReceivingTimeout"))) {
    configuration.iceConnectionReceivingTimeout = *value;
  }
  if (const Value* servers = settings.find("iceServers"); servers != nullptr && servers->asList()) {
    std::vector<RTCIceServer> converted;
    for (const auto& entry : *servers->asList()) {
      if (auto server = toRTCIceServer(&entry)) converted.push_back(std::move(*server));
    }
    configuration.iceServers = std::move(converted);
  }
  applyEnum<RTCIceTransportPolicy>(settings, "iceTransportPolicy",
                                   {{"all", RTCIceTransportPolicyAll},
                                    {"none", RTCIceTransportPolicyNone},
                                    {"nohost", RTCIceTransportPolicyNoHost},
                                    {"relay", RTCIceTransportPolicyRelay}},
                                   configuration.iceTransportPolicy);
  if (auto value = boolOf(settings.find("enableDscp"))) configuration.enableDscp = *value;
  applyEnum<RTCRtcpMuxPolicy>(
      settings, "rtcpMuxPolicy",
      {{"negotiate", RTCRtcpMuxPolicyNegotiate}, {"require", RTCRtcpMuxPolicyRequire}},
      configuration.rtcpMuxPolicy);
  applyEnum<RTCSdpSemantics>(
      settings, "sdpSemantics",
      {{"plan-b", RTCSdpSemanticsPlanB}, {"unified-plan", RTCSdpSemanticsUnifiedPlan}},
      configuration.sdpSemantics);
  if (auto value = intOf(settings.find("maxIPv6Networks"))) configuration.maxIPv6Networks = *value;
  applyEnum<RTCTcpCandidatePolicy>(
      settings, "tcpCandidatePolicy",
      {{"enabled", RTCTcpCandidatePolicyEnabled}, {"disabled", RTCTcpCandidatePolicyDisabled}},
      configuration.tcpCandidatePolicy);
  applyEnum<RTCCandidateNetworkPolicy>(
      settings, "candidateNetworkPolicy",
      {{"all", RTCCandidateNetworkPolicyAll}, {"low_cost", RTCCandidateNetworkPolicyLowCost}},
      configuration.candidateNetworkPolicy);
  applyEnum<RTCEncryptionKeyType>(
      settings, "keyType", {{"RSA", RTCEncryptionKeyTypeRSA}, {"ECDSA", RTCEncryptionKeyTypeECDSA}},
      configuration.keyType);
  applyEnum<RTCContinualGatheringPolicy>(
      settings, "continualGatheringPolicy",
      {{"gather_once", RTCContinualGatheringPolicyGatherOnce},
       {"gather_continually", RTCContinualGatheringPolicyGatherContinually}},
      configuration.continualGatheringPolicy);
  if (auto value = boolOf(settings.find("audioJitterBufferFastAccelerate"))) {
    configuration.audioJitterBufferFastAccelerate = *value;
  }
  if (auto value = boolOf(settings.find("pruneTurnPorts"))) {
    configuration.shouldPruneTurnPorts = *value;
  }
  if (auto value = boolOf(settings.find("presumeWritableWhenFullyRelayed"))) {
    configuration.shouldPresumeWritableWhenFullyRelayed = *value;
  }
  if (const Value* crypto = settings.find("cryptoOptions"); crypto != nullptr && crypto->asMap()) {
    configuration.cryptoOptions = toCryptoOptions(*crypto);
  }
  return configuration;
}

std::optional<RTCIceServer> toRTCIceServer(const flutter::Value* value) {
  if (value == nullptr || value->isNull()) {
    NSLog("a valid iceServer value");
    return std::nullopt;
  }
  if (value->asMap() == nullptr) {
    NSLog("must be an object");
    return std::nullopt;
  }
  std::vector<std::string> urls;
  if (const std::string* url = stringOf(value->find("url"))) {
    urls.push_back(*url);
  } else if (const Value* list = value->find("urls")) {
    if (const std::string* single = list->asString()) {
      urls.push_back(*single);
    } else {
      urls = stringsOf(list);
    }
  }
  // A server without a URL is no server at all.
  if (urls.empty()) return std::nullopt;
  const std::string* username = stringOf(value->find("username"));
  const std::string* credential = stringOf(value->find("credential"));
  if (username != nullptr || credential != nullptr) {
    return RTCIceServer(std::move(urls),
                        username ? std::optional<std::string>(*username) : std::nullopt,
                        credential ? std::optional<std::string>(*credential) : std::nullopt);
  }
  return RTCIceServer(std::move(urls));
}

std::optional<RTCDataChannelConfiguration> toRTCDataChannelConfiguration(
    const flutter::Value* value) {
  if (value == nullptr || value->asMap() == nullptr) return std::nullopt;
  RTCDataChannelConfiguration configuration;
  if (auto id = intOf(value->find("id"))) configuration.channelId = *id;
  if (auto ordered = boolOf(value->find("ordered"))) configuration.isOrdered = *ordered;
  if (auto retransmits = intOf(value->find("maxRetransmits"))) {
    configuration.maxRetransmits = *retransmits;
  }
  if (auto negotiated = boolOf(value->find("negotiated"))) configuration.isNegotiated = *negotiated;
  if (const std::string* protocol = stringOf(value->find("protocol"))) {
    configuration.protocol = *protocol;
  }
  return configuration;
}

RTCMediaConstraints parseMediaConstraints(const flutter::Value* map) {
  std::map<std::string, std::string> mandatory;
  std::map<std::string, std::string> optional;
  if (map != nullptr) {
    if (const Value* required = map->find("mandatory"); required != nullptr && required->asMap()) {
      parseJavaScriptConstraints(*required->asMap(), mandatory);
    }
    if (const Value* list = map->find("optional"); list != nullptr && list->asList()) {
      for (const auto& element : *list->asList()) {
        if (const auto* pairs = element.asMap()) parseJavaScriptConstraints(*pairs, optional);
      }
    }
  }
  return RTCMediaConstraints(std::move(mandatory), std::move(optional));
}

void parseJavaScriptConstraints(const flutter::ValueMap& source,
                                std::map<std::string, std::string>& destination) {
  for (const auto& [key, value] : source) {
    std::string text = value.isNumber() ? (value.boolValue() ? "true" : "false") : describe(value);
    destination[describe(key)] = std::move(text);
  }
}

CGRect parseRect(const flutter::ValueMap& map) {
  auto number = [&map](std::string_view key) {
    const Value* value = map.find(key);
    return value == nullptr ? 0.0 : value->doubleValue();
  };
  return CGRectMake(number("left"), number("top"), number("width"), number("height"));
}

}  // namespace webrtc_host
