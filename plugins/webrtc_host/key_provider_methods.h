// The key-provider methods: providers made from the Dart side's options, given keys, ratcheted,
// exported and disposed. They reach only the registry of key providers they are given.
#pragma once

#include <memory>
#include <string>

#include "platform/flutter/flutter.h"
#include "platform/webrtc/rtc_frame_crypto_key_provider.h"
#include "plugins/webrtc_host/method_dispatch.h"
#include "plugins/webrtc_host/registry.h"

namespace webrtc_host {

class KeyProviderMethods {
 public:
  using KeyProviders = Registry<std::string, RTCFrameCryptorKeyProvider>;

  explicit KeyProviderMethods(KeyProviders& keyProviders) : key_providers_(keyProviders) {}

  // Answers the call if it is one of these methods; false, with `result` untouched, otherwise.
  bool handleMethodCall(const FlutterMethodCall& call, FlutterResult& result);

 private:
  static const MethodTable<KeyProviderMethods>& methodTable();

  void frameCryptorFactoryCreateKeyProvider(const FlutterMethodCall& call, FlutterResult result);
  void keyProviderSetSharedKey(const FlutterMethodCall& call, FlutterResult result);
  void keyProviderRatchetSharedKey(const FlutterMethodCall& call, FlutterResult result);
  void keyProviderExportSharedKey(const FlutterMethodCall& call, FlutterResult result);
  void keyProviderSetKey(const FlutterMethodCall& call, FlutterResult result);
  void keyProviderRatchetKey(const FlutterMethodCall& call, FlutterResult result);
  void keyProviderExportKey(const FlutterMethodCall& call, FlutterResult result);
  void keyProviderSetSifTrailer(const FlutterMethodCall& call, FlutterResult result);
  void keyProviderDispose(const FlutterMethodCall& call, FlutterResult result);
  // The provider named by "keyProviderId", or null after answering the error.
  std::shared_ptr<RTCFrameCryptorKeyProvider> keyProviderFor(const flutter::Value& arguments,
                                                             FlutterResult& result) const;

  KeyProviders& key_providers_;
};

}  // namespace webrtc_host
