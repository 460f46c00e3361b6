#include "plugins/wkwebview_host/web_view_proxy_api_delegate.h"

#include <cstdio>
#include <string_view>

#include "platform/dispatch/dispatch.h"
#include "platform/flutter/socket_connection.h"
#include "platform/flutter/socket_frame.h"
#include "platform/foundation/console_line.h"
#include "platform/foundation/ns_process_info.h"
#include "platform/foundation/ns_url.h"
#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_arguments.h"
#include "plugins/wkwebview_host/web_kit_library/proxy_api_registrar.h"
#include "plugins/wkwebview_host/web_view_impl.h"

namespace wkwebview_host {
namespace {

std::shared_ptr<const NSURL> urlObject(const NSURL& url) {
  return std::make_shared<const NSURL>(url.absoluteString());
}

// A description longer than a reply may be is not built past that length.
constexpr size_t kLongestDescription = flutter::kMaxSocketFrameLength;
// How much of the description the debug line shows.
constexpr size_t kDebugLineDescriptionBytes = 1024;

void indent(std::string& out, int depth) { out.append(static_cast<size_t>(depth) * 4, ' '); }

// Appends the platform's description of a collection value to `out`, in one pass; answers false
// once `out` is longer than kLongestDescription.
bool describeInto(const AnyValue& value, int depth, std::string& out) {
  if (out.size() > kLongestDescription) return false;
  return std::visit(
      [depth, &out](const auto& v) -> bool {
        using T = std::decay_t<decltype(v)>;
        if constexpr (std::is_same_v<T, std::monostate>) {
          out += "nil";
        } else if constexpr (std::is_same_v<T, NSNull>) {
          out += "<null>";
        } else if constexpr (std::is_same_v<T, bool>) {
          out += v ? "1" : "0";
        } else if constexpr (std::is_same_v<T, int64_t>) {
          out += std::to_string(v);
        } else if constexpr (std::is_same_v<T, double>) {
          char text[32];
          std::snprintf(text, sizeof(text), "%.17g", v);
          out += text;
        } else if constexpr (std::is_same_v<T, std::string>) {
          out += v;
        } else if constexpr (std::is_same_v<T, AnyValue::Bytes>) {
          out += "{length = " + std::to_string(v.size()) + "}";
        } else if constexpr (std::is_same_v<T, AnyValue::Array>) {
          out += "(\n";
          for (size_t i = 0; i < v.size(); ++i) {
            indent(out, depth + 1);
            if (!describeInto(v[i], depth + 1, out)) return false;
            out += i + 1 < v.size() ? ",\n" : "\n";
          }
          indent(out, depth);
          out += ")";
        } else if constexpr (std::is_same_v<T, AnyValue::Dictionary>) {
          out += "{\n";
          for (const auto& [key, element] : v) {
            indent(out, depth + 1);
            out += key;
            out += " = ";
            if (!describeInto(element, depth + 1, out)) return false;
            out += ";\n";
          }
          indent(out, depth);
          out += "}";
        } else {
          out += v ? v->description() : "nil";
        }
        return out.size() <= kLongestDescription;
      },
      value.storage());
}

// At most `limit` bytes of `text`, cut where a character begins.
std::string_view cut(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text;
  while (limit > 0 && (static_cast<unsigned char>(text[limit]) & 0xC0) == 0x80) --limit;
  return std::string_view(text).substr(0, limit);
}

// The debug line's text in quotation marks, with special characters escaped.
std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out.push_back(c);
    }
  }
  return out + "\"";
}

// A web view's own serial queue for its script results, held by the web view. Every result
// passes through it, so that answers keep the order of their calls.
class ScriptResultQueue final : public NSObject {
 public:
  const dispatch_queue_t queue =
      dispatch_queue_create("NSViewWKWebView.scriptResults", DISPATCH_QUEUE_SERIAL);
};

// Only its address is used.
constexpr char kScriptResultQueueKey = 0;

dispatch_queue_t scriptResultQueue(WKWebView& webView) {
  auto held = std::dynamic_pointer_cast<ScriptResultQueue>(
      webView.associatedObject(&kScriptResultQueueKey));
  if (!held) {
    held = makeObject<ScriptResultQueue>();
    webView.setAssociatedObject(&kScriptResultQueueKey, held);
  }
  return held->queue;
}

}  // namespace

PigeonResult javaScriptResultValue(AnyValue result) {
  if (result.isNil()) return flutter::Value();
  if (auto* text = result.getIf<std::string>()) return flutter::Value(std::move(*text));
  if (const auto* flag = result.getIf<bool>()) return flutter::Value(*flag);
  if (const auto* integer = result.getIf<int64_t>()) return flutter::Value(*integer);
  if (const auto* real = result.getIf<double>()) return flutter::Value(*real);
  std::string description;
  bool whole = describeInto(result, 0, description);
  std::string shown(cut(description, kDebugLineDescriptionBytes));
  if (shown.size() < description.size() || !whole) shown += "...";
  std::string line = "Return type of evaluateJavaScript is not directly supported: " + shown +
                     ". Returned description of value.";
  foundation::writeConsoleLine(foundation::ConsoleStream::standardOutput, quoted(line).c_str());
  if (!whole) {
    return PigeonError(flutter::kSocketReplyTooLargeCode,
                       "The description of the result is longer than a reply may be.",
                       flutter::Value());
  }
  return flutter::Value(std::move(description));
}

std::shared_ptr<WKWebView> WebViewProxyAPIDelegate::pigeon_defaultConstructor(
    Api& api, const std::shared_ptr<WKWebViewConfiguration>& initialConfiguration) {
  return makeObject<WebViewImpl>(api.pigeonRegistrar().weak_from_this(),
                                             CGRect{{0, 0}, {0, 0}}, initialConfiguration);
}

std::shared_ptr<WKWebViewConfiguration> WebViewProxyAPIDelegate::configuration(Api&,
                                                                               WKWebView& webView) {
  return webView.configuration();
}

void WebViewProxyAPIDelegate::setUIDelegate(Api&, WKWebView& webView,
                                            const std::shared_ptr<WKUIDelegate>& delegate) {
  webView.setUIDelegate(delegate);
}

void WebViewProxyAPIDelegate::setNavigationDelegate(
    Api&, WKWebView& webView, const std::shared_ptr<WKNavigationDelegate>& delegate) {
  webView.setNavigationDelegate(delegate);
}

std::optional<std::string> WebViewProxyAPIDelegate::getUrl(Api&, WKWebView& webView) {
  auto url = webView.URL();
  if (!url) return std::nullopt;
  return url->absoluteString();
}

double WebViewProxyAPIDelegate::getEstimatedProgress(Api&, WKWebView& webView) {
  return webView.estimatedProgress();
}

void WebViewProxyAPIDelegate::load(Api&, WKWebView& webView, const URLRequestWrapper& request) {
  webView.loadRequest(request.value);
}

void WebViewProxyAPIDelegate::loadHtmlString(Api&, WKWebView& webView, const std::string& string,
                                             const std::optional<std::string>& baseUrl) {
  std::shared_ptr<const NSURL> base;
  if (baseUrl) {
    auto parsed = NSURL::URLWithString(*baseUrl);
    if (!parsed) {
      throw PigeonError(PigeonArguments::kInvalidArgumentCode,
                        "NSViewWKWebView.loadHtmlString expects a URL as argument 2.",
                        flutter::Value());
    }
    base = urlObject(*parsed);
  }
  webView.loadHTMLString(string, base);
}

void WebViewProxyAPIDelegate::loadFileUrl(Api&, WKWebView& webView, const std::string& url,
                                          const std::string& readAccessPath) {
  webView.loadFileURL(urlObject(NSURL::fileURLWithPath(url, false)),
                      urlObject(NSURL::fileURLWithPath(readAccessPath, true)));
}

void WebViewProxyAPIDelegate::loadFlutterAsset(Api& api, WKWebView& webView,
                                               const std::string& key) {
  auto* registrar = ProxyAPIRegistrar::from(api.pigeonRegistrar());
  std::optional<std::string> asset_url =
      registrar != nullptr ? registrar->assetManager().urlForAsset(key) : std::nullopt;
  std::optional<NSURL> file_url = asset_url ? NSURL::URLWithString(*asset_url) : std::nullopt;
  if (!file_url) {
    std::string bundle_key =
        registrar != nullptr ? registrar->assetManager().lookupKeyForAsset(key) : key;
    throw PigeonError("HWVURLParsingError",
                      "Failed to find asset with filepath: `" + bundle_key + "`.",
                      flutter::Value());
  }
  webView.loadFileURL(urlObject(*file_url), urlObject(file_url->URLByDeletingLastPathComponent()));
}

bool WebViewProxyAPIDelegate::canGoBack(Api&, WKWebView& webView) { return webView.canGoBack(); }

bool WebViewProxyAPIDelegate::canGoForward(Api&, WKWebView& webView) {
  return webView.canGoForward();
}

void WebViewProxyAPIDelegate::goBack(Api&, WKWebView& webView) { webView.goBack(); }

void WebViewProxyAPIDelegate::goForward(Api&, WKWebView& webView) { webView.goForward(); }

void WebViewProxyAPIDelegate::reload(Api&, WKWebView& webView) { webView.reload(); }

std::optional<std::string> WebViewProxyAPIDelegate::getTitle(Api&, WKWebView& webView) {
  return webView.title();
}

void WebViewProxyAPIDelegate::setAllowsBackForwardNavigationGestures(Api&, WKWebView& webView,
                                                                     bool allow) {
  webView.setAllowsBackForwardNavigationGestures(allow);
}

void WebViewProxyAPIDelegate::setCustomUserAgent(Api&, WKWebView& webView,
                                                 const std::optional<std::string>& userAgent) {
  webView.setCustomUserAgent(userAgent);
}

// The error is tested first; a value that came with it is ignored. The result becomes its
// answer on the web view's result queue (a description may take long to build), and the answer
// is given on the main thread.
void WebViewProxyAPIDelegate::evaluateJavaScript(Api&, WKWebView& webView,
                                                 const std::string& javaScriptString,
                                                 std::function<void(PigeonResult)> completion) {
  webView.evaluateJavaScript(
      javaScriptString,
      [queue = scriptResultQueue(webView), completion = std::move(completion)](
          AnyValue result, const std::shared_ptr<NSError>& error) mutable {
        // Held by pointer so that no copy is ever made; released off the main thread.
        auto value = std::make_shared<AnyValue>(std::move(result));
        dispatch_async(
            queue, [value = std::move(value), error, completion = std::move(completion)]() mutable {
              std::optional<PigeonResult> answer;
              if (!error) answer = javaScriptResultValue(std::move(*value));
              value.reset();
              dispatch_async(
                  dispatch_get_main_queue(), [answer = std::move(answer), error = std::move(error),
                                              completion = std::move(completion)]() mutable {
                    if (error) {
                      completion(PigeonError("HWVEvaluateJavaScriptError",
                                             "Failed evaluating JavaScript.", objectValue(error)));
                    } else {
                      // Built off the main thread, and only moved on it.
                      completion(std::move(*answer));
                    }
                  });
            });
      });
}

void WebViewProxyAPIDelegate::setInspectable(Api&, WKWebView& webView, bool inspectable) {
  if (!NSProcessInfo::processInfo().isOperatingSystemAtLeastVersion({13, 3, 0})) {
    throw ProxyAPIRegistrar::createUnsupportedVersionError("WKWebView.inspectable",
                                                           "iOS 16.4, macOS 13.3");
  }
  webView.setInspectable(inspectable);
}

std::optional<std::string> WebViewProxyAPIDelegate::getCustomUserAgent(Api&, WKWebView& webView) {
  return webView.customUserAgent();
}

void WebViewProxyAPIDelegate::setAllowsLinkPreview(Api&, WKWebView& webView, bool allow) {
  webView.setAllowsLinkPreview(allow);
}

}  // namespace wkwebview_host
