// What the plug-in's tests share: the Dart side's view of the codec (object references stay
// identifiers, as a Dart side sees them) and a fixture with the plug-in registered on an engine.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/flutter/flutter.h"
#include "platform/flutter/testing/test_dart_side.h"
#include "plugins/wkwebview_host/webview_host_plugin.h"

namespace wkwebview_host::testing {

// An object reference as the Dart side reads and writes it.
class DartReference final : public flutter::CustomValue {
 public:
  explicit DartReference(int64_t identifier) : identifier(identifier) {}
  std::string typeName() const override { return "ref " + std::to_string(identifier); }
  bool equals(const flutter::CustomValue& other) const override {
    const auto* reference = dynamic_cast<const DartReference*>(&other);
    return reference != nullptr && reference->identifier == identifier;
  }
  const int64_t identifier;
};

flutter::Value ref(int64_t identifier);
// The codec of the Dart side of the proxy APIs.
std::shared_ptr<const FlutterMessageCodec> dartSideCodec();

// A message that the host sent to the Dart side, in arrival order across channels.
struct HostMessage {
  std::string channel;  // without the common prefix
  flutter::Value message;
};

class WebViewHostTest : public ::testing::Test {
 protected:
  WebViewHostTest();
  ~WebViewHostTest() override;

  ProxyAPIRegistrar& registrar() { return *plugin->proxyApiRegistrar(); }
  WebKitLibraryPigeonInstanceManager& instances() { return *registrar().instanceManager(); }

  // Answers "<api>.<operation>" on the Dart side with `reply` (nullopt: no reply at all) and
  // records what arrives there in `received`.
  void answerDartCalls(const std::string& method,
                       std::optional<flutter::Value> reply = flutter::ValueList{});
  // Answers every announcement with success.
  void answerAnnouncements();
  std::vector<HostMessage> receivedOn(const std::string& method) const;

  // Encodes `value` with the registrar's codec, as a message to the Dart side would be.
  flutter::Value encodeForDart(const flutter::Value& value);

  std::shared_ptr<FlutterEngine> engine = FlutterEngine::create();
  flutter::testing::TestDartSide dart{engine};
  std::shared_ptr<WebViewHostPlugin> plugin;
  std::shared_ptr<std::vector<HostMessage>> received = std::make_shared<std::vector<HostMessage>>();
};

}  // namespace wkwebview_host::testing
