#include "plugins/wkwebview_host/web_kit_library/pigeon_internal_proxy_api_codec_reader_writer.h"

#include <array>
#include <type_traits>
#include <typeinfo>

#include "platform/flutter/streamed_value.h"
#include "platform/foundation/console_line.h"
#include "platform/webkit/webkit.h"
#include "plugins/wkwebview_host/authentication_challenge_response.h"
#include "plugins/wkwebview_host/get_trust_result_response.h"
#include "plugins/wkwebview_host/sec_certificate_wrapper.h"
#include "plugins/wkwebview_host/sec_trust_wrapper.h"
#include "plugins/wkwebview_host/url_request_wrapper.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_authentication_challenge_response.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_get_trust_result_response.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_http_cookie.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_http_url_response.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_ns_error.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_ns_object.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_ns_view_wk_web_view.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_sec_certificate.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_sec_trust.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_authentication_challenge.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_credential.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_protection_space.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_request.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_response.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_frame_info.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_http_cookie_store.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_navigation_action.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_navigation_response.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_preferences.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_script_message.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_security_origin.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_user_content_controller.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_user_script.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_web_view_configuration.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_webpage_preferences.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_website_data_store.h"
#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_enumerations.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"
#include "plugins/wkwebview_host/web_kit_library/type_names.h"

namespace wkwebview_host {
namespace {

using Registrar = WebKitLibraryPigeonProxyApiRegistrar;
using Delegate = WebKitLibraryPigeonProxyApiDelegate;

void printLine(const std::string& line) {
  foundation::writeConsoleLine(foundation::ConsoleStream::standardOutput, line.c_str());
}

// One kind of native object the writer knows: how to recognise it, and how to announce it (none
// for the delegates, which the Dart side creates and so always knows).
struct ProxyKind {
  bool (*matches)(const NSObject& object);
  void (*announce)(Registrar& registrar, const std::shared_ptr<NSObject>& object);
};

template <typename T>
bool isA(const NSObject& object) {
  if constexpr (std::is_same_v<T, NSObject>) {
    return true;
  } else {
    return dynamic_cast<const T*>(&object) != nullptr;
  }
}

template <typename T, auto api>
void announceThrough(Registrar& registrar, const std::shared_ptr<NSObject>& object) {
  (registrar.apiDelegate().*api)(registrar)->pigeon_newInstance(
      std::dynamic_pointer_cast<T>(object), [](const PigeonResult&) {});
}

// The first kind that matches decides, so a subclass goes with the first of its kinds listed.
constexpr std::array kProxyKinds = {
    ProxyKind{isA<URLRequestWrapper>,
              announceThrough<URLRequestWrapper, &Delegate::pigeonApiURLRequest>},
    ProxyKind{isA<NSHTTPURLResponse>,
              announceThrough<NSHTTPURLResponse, &Delegate::pigeonApiHTTPURLResponse>},
    ProxyKind{isA<NSURLResponse>,
              announceThrough<NSURLResponse, &Delegate::pigeonApiURLResponse>},
    ProxyKind{isA<WKUserScript>, announceThrough<WKUserScript, &Delegate::pigeonApiWKUserScript>},
    ProxyKind{isA<WKNavigationAction>,
              announceThrough<WKNavigationAction, &Delegate::pigeonApiWKNavigationAction>},
    ProxyKind{isA<WKNavigationResponse>,
              announceThrough<WKNavigationResponse, &Delegate::pigeonApiWKNavigationResponse>},
    ProxyKind{isA<WKFrameInfo>, announceThrough<WKFrameInfo, &Delegate::pigeonApiWKFrameInfo>},
    ProxyKind{isA<NSError>,
              announceThrough<NSError, &Delegate::pigeonApiNSError>},
    ProxyKind{isA<WKScriptMessage>,
              announceThrough<WKScriptMessage, &Delegate::pigeonApiWKScriptMessage>},
    ProxyKind{isA<WKSecurityOrigin>,
              announceThrough<WKSecurityOrigin, &Delegate::pigeonApiWKSecurityOrigin>},
    ProxyKind{isA<NSHTTPCookie>,
              announceThrough<NSHTTPCookie, &Delegate::pigeonApiHTTPCookie>},
    ProxyKind{isA<AuthenticationChallengeResponse>,
              announceThrough<AuthenticationChallengeResponse,
                              &Delegate::pigeonApiAuthenticationChallengeResponse>},
    ProxyKind{isA<WKWebsiteDataStore>,
              announceThrough<WKWebsiteDataStore, &Delegate::pigeonApiWKWebsiteDataStore>},
    ProxyKind{isA<WKWebViewConfiguration>,
              announceThrough<WKWebViewConfiguration, &Delegate::pigeonApiWKWebViewConfiguration>},
    ProxyKind{
        isA<WKUserContentController>,
        announceThrough<WKUserContentController, &Delegate::pigeonApiWKUserContentController>},
    ProxyKind{isA<WKPreferences>,
              announceThrough<WKPreferences, &Delegate::pigeonApiWKPreferences>},
    ProxyKind{isA<WKScriptMessageHandler>, nullptr},
    ProxyKind{isA<WKNavigationDelegate>, nullptr},
    ProxyKind{isA<WKWebView>, announceThrough<WKWebView, &Delegate::pigeonApiNSViewWKWebView>},
    ProxyKind{isA<WKUIDelegate>, nullptr},
    ProxyKind{isA<WKHTTPCookieStore>,
              announceThrough<WKHTTPCookieStore, &Delegate::pigeonApiWKHTTPCookieStore>},
    ProxyKind{isA<NSURLCredential>,
              announceThrough<NSURLCredential, &Delegate::pigeonApiURLCredential>},
    ProxyKind{
        isA<NSURLProtectionSpace>,
        announceThrough<NSURLProtectionSpace, &Delegate::pigeonApiURLProtectionSpace>},
    ProxyKind{isA<NSURLAuthenticationChallenge>,
              announceThrough<NSURLAuthenticationChallenge,
                              &Delegate::pigeonApiURLAuthenticationChallenge>},
    ProxyKind{isA<NSURL>, announceThrough<NSURL, &Delegate::pigeonApiURL>},
    ProxyKind{isA<WKWebpagePreferences>,
              announceThrough<WKWebpagePreferences, &Delegate::pigeonApiWKWebpagePreferences>},
    ProxyKind{isA<GetTrustResultResponse>,
              announceThrough<GetTrustResultResponse, &Delegate::pigeonApiGetTrustResultResponse>},
    ProxyKind{isA<SecTrustWrapper>, announceThrough<SecTrustWrapper, &Delegate::pigeonApiSecTrust>},
    ProxyKind{isA<SecCertificateWrapper>,
              announceThrough<SecCertificateWrapper, &Delegate::pigeonApiSecCertificate>},
    ProxyKind{isA<NSObject>, announceThrough<NSObject, &Delegate::pigeonApiNSObject>},
};

}  // namespace

std::unique_ptr<FlutterStandardWriter>
WebKitLibraryPigeonInternalProxyApiCodecReaderWriter::writerWithData(FlutterBytes& data) const {
  return std::make_unique<WebKitLibraryPigeonInternalProxyApiCodecWriter>(data, pigeon_registrar_);
}

std::unique_ptr<FlutterStandardReader>
WebKitLibraryPigeonInternalProxyApiCodecReaderWriter::readerWithData(
    std::span<const uint8_t> data) const {
  return std::make_unique<WebKitLibraryPigeonInternalProxyApiCodecReader>(data, pigeon_registrar_);
}

using Reader = WebKitLibraryPigeonInternalProxyApiCodecReaderWriter::
    WebKitLibraryPigeonInternalProxyApiCodecReader;
using Writer = WebKitLibraryPigeonInternalProxyApiCodecReaderWriter::
    WebKitLibraryPigeonInternalProxyApiCodecWriter;

flutter::Value Reader::readValueOfType(uint8_t type) {
  if (type != kInstanceReferenceTag) return WebKitLibraryPigeonCodecReader::readValueOfType(type);
  std::optional<int64_t> identifier = readValue().asInteger();
  if (!identifier) throw FlutterCodecError("An instance reference holds no integer identifier");
  std::shared_ptr<NSObject> object;
  if (auto registrar = pigeon_registrar_.lock()) {
    object = registrar->instanceManager()->lookupObject(*identifier);
  }
  if (!object) {
    printLine("Failed to find instance with identifier: " + std::to_string(*identifier));
    return flutter::Value();
  }
  return objectValue(std::move(object));
}

void Writer::writeValue(const flutter::Value& value) {
  if (auto native = value.asCustom<NativeObjectValue>()) {
    writeObject(native->object());
    return;
  }
  const auto* custom = value.getIf<std::shared_ptr<const flutter::CustomValue>>();
  if (custom != nullptr && !value.asCustom<EnumerationValue>() &&
      !value.asCustom<flutter::StreamedValue>()) {
    writeUnsupported(*custom ? (*custom)->typeName() : "nil",
                     *custom ? unqualifiedTypeName(typeid(**custom)) : "CustomValue");
    return;
  }
  WebKitLibraryPigeonCodecWriter::writeValue(value);
}

void Writer::writeObject(const std::shared_ptr<NSObject>& object) {
  auto registrar = pigeon_registrar_.lock();
  if (!object || !registrar) {
    writeUnsupported(object ? object->description() : "nil",
                     object ? unqualifiedTypeName(typeid(*object)) : "NSObject");
    return;
  }
  for (const ProxyKind& kind : kProxyKinds) {
    if (!kind.matches(*object)) continue;
    if (kind.announce != nullptr) kind.announce(*registrar, object);
    break;
  }
  // Announcing registers nothing while calls to the Dart side are ignored, and delegates are
  // only ever registered by the Dart side: such an object has no identifier to write.
  std::optional<int64_t> identifier = registrar->instanceManager()->identifierOf(object);
  if (!identifier) {
    writeUnsupported(object->description(), unqualifiedTypeName(typeid(*object)));
    return;
  }
  writeByte(kInstanceReferenceTag);
  WebKitLibraryPigeonCodecWriter::writeValue(flutter::Value(*identifier));
}

// Written as null, so that the list or map around it keeps its count.
void Writer::writeUnsupported(const std::string& description, const std::string& typeName) {
  printLine("Unsupported value: " + description + " of " + typeName);
  WebKitLibraryPigeonCodecWriter::writeValue(flutter::Value());
}

}  // namespace wkwebview_host
