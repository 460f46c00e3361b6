#include "plugins/wkwebview_host/tests/web_view_host_test_support.h"

#include "plugins/wkwebview_host/web_kit_library/pigeon_host_operation.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_internal_proxy_api_codec_reader_writer.h"
#include "plugins/wkwebview_host/web_kit_library/web_kit_library_pigeon_codec.h"

namespace wkwebview_host::testing {
namespace {

class DartSideReader final : public WebKitLibraryPigeonCodecReader {
 public:
  using WebKitLibraryPigeonCodecReader::WebKitLibraryPigeonCodecReader;
  flutter::Value readValueOfType(uint8_t type) override {
    if (type != kInstanceReferenceTag) return WebKitLibraryPigeonCodecReader::readValueOfType(type);
    return ref(*readValue().asInteger());
  }
};

class DartSideWriter final : public WebKitLibraryPigeonCodecWriter {
 public:
  using WebKitLibraryPigeonCodecWriter::WebKitLibraryPigeonCodecWriter;
  void writeValue(const flutter::Value& value) override {
    if (auto reference = value.asCustom<DartReference>()) {
      writeByte(kInstanceReferenceTag);
      FlutterStandardWriter::writeValue(flutter::Value(reference->identifier));
      return;
    }
    WebKitLibraryPigeonCodecWriter::writeValue(value);
  }
};

class DartSideReaderWriter final : public FlutterStandardReaderWriter {
 public:
  std::unique_ptr<FlutterStandardWriter> writerWithData(FlutterBytes& data) const override {
    return std::make_unique<DartSideWriter>(data);
  }
  std::unique_ptr<FlutterStandardReader> readerWithData(
      std::span<const uint8_t> data) const override {
    return std::make_unique<DartSideReader>(data);
  }
};

}  // namespace

flutter::Value ref(int64_t identifier) {
  return flutter::Value(std::make_shared<DartReference>(identifier));
}

std::shared_ptr<const FlutterMessageCodec> dartSideCodec() {
  static const auto codec =
      std::make_shared<FlutterStandardMessageCodec>(std::make_shared<DartSideReaderWriter>());
  return codec;
}

WebViewHostTest::WebViewHostTest() {
  WebViewHostPlugin::registerWithRegistrar(dart.registrar(WebViewHostPlugin::kPluginKey));
  plugin = std::dynamic_pointer_cast<WebViewHostPlugin>(std::static_pointer_cast<FlutterPlugin>(
      engine->valuePublishedByPlugin(WebViewHostPlugin::kPluginKey)));
}

WebViewHostTest::~WebViewHostTest() { dart.drain(); }

void WebViewHostTest::answerDartCalls(const std::string& method,
                                      std::optional<flutter::Value> reply) {
  dart.setMessageHandler(
      std::string(kChannelPrefix) + method,
      [received = received, method, reply](const flutter::Value& message) {
        received->push_back({method, message});
        return reply;
      },
      dartSideCodec());
}

void WebViewHostTest::answerAnnouncements() {
  for (const char* api : {"URLRequest",
                          "HTTPURLResponse",
                          "URLResponse",
                          "WKUserScript",
                          "WKNavigationAction",
                          "WKNavigationResponse",
                          "WKFrameInfo",
                          "NSError",
                          "WKScriptMessage",
                          "WKSecurityOrigin",
                          "HTTPCookie",
                          "AuthenticationChallengeResponse",
                          "WKWebsiteDataStore",
                          "WKWebViewConfiguration",
                          "WKUserContentController",
                          "WKPreferences",
                          "NSObject",
                          "NSViewWKWebView",
                          "WKWebView",
                          "WKHTTPCookieStore",
                          "URLCredential",
                          "URLProtectionSpace",
                          "URLAuthenticationChallenge",
                          "URL",
                          "WKWebpagePreferences",
                          "GetTrustResultResponse",
                          "SecTrust",
                          "SecCertificate"}) {
    answerDartCalls(std::string(api) + ".pigeon_newInstance");
  }
}

std::vector<HostMessage> WebViewHostTest::receivedOn(const std::string& method) const {
  std::vector<HostMessage> matching;
  for (const auto& message : *received) {
    if (message.channel == method) matching.push_back(message);
  }
  return matching;
}

flutter::Value WebViewHostTest::encodeForDart(const flutter::Value& value) {
  return dartSideCodec()->decode(registrar().codec()->encode(value));
}

}  // namespace wkwebview_host::testing
