#include "tools/channel_fuzzer/web_view_session.h"

#include <functional>

#include "platform/security/sec_policy.h"
#include "platform/security/sec_trust.h"
#include "platform/security/testing/test_certificate_authority.h"
#include "platform/foundation/ns_url_authentication_challenge.h"
#include "platform/webkit/testing/web_view_controls.h"
#include "tools/channel_fuzzer/shapes.h"
#include "tools/channel_fuzzer/web_content_samples.h"

namespace channel_fuzzer {

// Chains from a test authority, so that trust evaluation runs on real certificates: one for the
// served host, one expired.
struct WebViewSessions::Certificates {
  security::testing::TestCertificateAuthority authority;
  security::testing::ServerChain current = authority.issueServerChain("fuzz.test");
  security::testing::ServerChain expired = authority.issueServerChain("fuzz.test", -30, -1);
};

namespace {

using webkit::testing::WebViewControls;

constexpr const char* kPlugin = "wkwebview_host";

class Session {
 public:
  Session(WebViewSessionHost& host, const WebViewSessions& sessions)
      : host_(host), random_(host.random()), sessions_(sessions) {}

  void run();
  std::vector<int64_t> identifiers() const;

 private:
  bool chance(double probability) {
    return std::uniform_real_distribution<double>(0, 1)(random_) < probability;
  }
  size_t below(size_t bound) { return bound == 0 ? 0 : static_cast<size_t>(random_() % bound); }
  bool call(const std::string& operation) { return host_.call(operation, objects_); }
  bool has(const std::string& api) const {
    return objects_.has(WebViewSessions::kClassPrefix + api);
  }
  // Any operation of `api` the page lists, but its constructor.
  void callAny(const std::string& api);
  std::shared_ptr<WKWebView> webView();

  void build();
  void use();
  void loadRequest();
  void cookies();
  void trust();
  void url();
  void pageAsks();

  WebViewSessionHost& host_;
  std::mt19937_64& random_;
  const WebViewSessions& sessions_;
  LiveValues objects_;
};

void Session::callAny(const std::string& api) {
  const PluginShapes* shapes = shapesOf(kPlugin);
  if (shapes == nullptr) return;
  std::vector<const std::string*> operations;
  for (const auto& shape : shapes->methods) {
    if (shape.method.rfind(api + ".", 0) == 0 &&
        shape.method != api + ".pigeon_defaultConstructor") {
      operations.push_back(&shape.method);
    }
  }
  if (!operations.empty()) call(*operations[below(operations.size())]);
}

std::shared_ptr<WKWebView> Session::webView() {
  auto id =
      objects_.pickExact(std::string(WebViewSessions::kClassPrefix) + "NSViewWKWebView", random_);
  const auto* integer = id ? std::get_if<Integer>(&*id) : nullptr;
  return integer != nullptr ? host_.webView(integer->value) : nullptr;
}

void Session::build() {
  call("WKWebViewConfiguration.pigeon_defaultConstructor");
  if (chance(0.7)) call("WKWebViewConfiguration.getUserContentController");
  if (chance(0.3)) call("WKWebViewConfiguration.getPreferences");
  if (chance(0.2)) call("WKWebViewConfiguration.getDefaultWebpagePreferences");
  if (chance(0.15) && call("WKWebsiteDataStore.defaultDataStore")) {
    call("WKWebViewConfiguration.setWebsiteDataStore");
  }
  if (has("WKUserContentController")) {
    for (size_t i = chance(0.6) ? 1 + below(2) : 0; i > 0; --i) {
      call("WKScriptMessageHandler.pigeon_defaultConstructor");
      call("WKUserContentController.addScriptMessageHandler");
    }
    if (chance(0.3)) {
      call("WKUserScript.pigeon_defaultConstructor");
      call("WKUserContentController.addUserScript");
    }
  }
  call("NSViewWKWebView.pigeon_defaultConstructor");
  if (chance(0.5)) {
    // Hostile scripts end sooner, so that more of them run; the others keep the page's budget.
    if (auto view = webView()) {
      WebViewControls::setScriptTimeBudget(*view, std::chrono::milliseconds(200 + below(800)));
    }
  }
  if (chance(0.8)) {
    call("WKNavigationDelegate.pigeon_defaultConstructor");
    call("NSViewWKWebView.setNavigationDelegate");
  }
  if (chance(0.5)) {
    call("WKUIDelegate.pigeon_defaultConstructor");
    call("NSViewWKWebView.setUIDelegate");
  }
  if (chance(0.5)) {
    call("NSObject.pigeon_defaultConstructor");
    for (size_t i = 1 + below(3); i > 0; --i) call("NSObject.addObserver");
  }
  // Answers to authentication challenges.
  if (chance(0.3)) call("AuthenticationChallengeResponse.pigeon_defaultConstructor");
}

void Session::loadRequest() {
  call("URLRequest.pigeon_defaultConstructor");
  if (chance(0.3)) call("URLRequest.setHttpMethod");
  if (chance(0.2)) call("URLRequest.setHttpBody");
  if (chance(0.2)) call("URLRequest.setAllHttpHeaderFields");
  call("NSViewWKWebView.load");
}

void Session::cookies() {
  if (!has("WKWebsiteDataStore")) {
    if (chance(0.5) && has("WKWebViewConfiguration")) {
      call("WKWebViewConfiguration.getWebsiteDataStore");
    } else {
      call("WKWebsiteDataStore.defaultDataStore");
    }
  }
  if (!has("WKHTTPCookieStore")) call("WKWebsiteDataStore.httpCookieStore");
  switch (below(4)) {
    case 0:
      call("HTTPCookie.pigeon_defaultConstructor");
      call("WKHTTPCookieStore.setCookie");
      break;
    case 1:
      call("WKHTTPCookieStore.getAllCookies");
      if (chance(0.5)) call("HTTPCookie.getProperties");
      break;
    case 2:
      call("WKWebsiteDataStore.removeDataOfTypes");
      break;
    default:
      callAny("HTTPCookie");
      break;
  }
}

// A server-trust challenge, then the Dart side's look at it.
void Session::trust() {
  objects_.remember(
      std::string(WebViewSessions::kClassPrefix) + "URLAuthenticationChallenge",
      Integer{host_.registerObject(sessions_.platformObject("URLAuthenticationChallenge", random_)),
              true});
  call("URLAuthenticationChallenge.getProtectionSpace");
  call("URLProtectionSpace.getServerTrust");
  for (size_t i = 1 + below(3); i > 0; --i) callAny("SecTrust");
  if (chance(0.3)) call("SecCertificate.copyData");
  if (chance(0.3)) call("URLCredential.serverTrustAsync");
  if (chance(0.3)) callAny("AuthenticationChallengeResponse");
}

// A URL object, as the platform hands them over.
void Session::url() {
  objects_.remember(std::string(WebViewSessions::kClassPrefix) + "URL",
                    Integer{host_.registerObject(sessions_.platformObject("URL", random_)), true});
  call("URL.getAbsoluteString");
}

// What a page asks of its UI delegate, and what happens to its process.
void Session::pageAsks() {
  auto view = webView();
  if (!view) return;
  switch (below(7)) {
    case 0:
      WebViewControls::runJavaScriptAlertPanel(*view, sampleScript(random_), [] {});
      break;
    case 1:
      WebViewControls::runJavaScriptConfirmPanel(*view, "confirm?", [](bool) {});
      break;
    case 2:
      WebViewControls::runJavaScriptTextInputPanel(
          *view, "prompt", chance(0.5) ? std::optional<std::string>("default") : std::nullopt,
          [](std::optional<std::string>) {});
      break;
    case 3:
      WebViewControls::requestMediaCapturePermission(
          *view, static_cast<WKMediaCaptureType>(below(5)), [](WKPermissionDecision) {});
      break;
    case 4: {
      auto url = makeObject<NSURL>(sampleUrl(random_));
      WebViewControls::requestNewWindow(
          *view, URLRequest::requestWithURL(
                     url, NSURLRequestUseProtocolCachePolicy, 60));
      break;
    }
    case 5:
      WebViewControls::terminateWebContentProcess(*view);
      break;
    default:
      WebViewControls::raiseScriptEngineFatalError(*view);
      break;
  }
}

void Session::use() {
  struct Action {
    double weight;
    std::function<void()> run;
  };
  const Action actions[] = {
      {3, [&] { call("NSViewWKWebView.loadHtmlString"); }},
      {2, [&] { loadRequest(); }},
      {0.5,
       [&] {
         call(chance(0.5) ? "NSViewWKWebView.loadFileUrl" : "NSViewWKWebView.loadFlutterAsset");
       }},
      {3, [&] { call("NSViewWKWebView.evaluateJavaScript"); }},
      {3, [&] { callAny("NSViewWKWebView"); }},
      {1, [&] { callAny("WKUserContentController"); }},
      {0.5, [&] { callAny("WKWebViewConfiguration"); }},
      {0.3, [&] { callAny(chance(0.5) ? "WKPreferences" : "WKWebpagePreferences"); }},
      {0.7, [&] { callAny("NSObject"); }},
      {0.5, [&] { callAny("URLRequest"); }},
      {1, [&] { cookies(); }},
      {0.7, [&] { trust(); }},
      {0.2, [&] { url(); }},
      {0.5, [&] { callAny("URLCredential"); }},
      {1, [&] { pageAsks(); }},
      {1, [&] { host_.pump(std::chrono::milliseconds(below(30))); }},
  };
  double total = 0;
  for (const auto& action : actions) total += action.weight;
  double roll = std::uniform_real_distribution<double>(0, total)(random_);
  for (const auto& action : actions) {
    if ((roll -= action.weight) <= 0) return action.run();
  }
}

void Session::run() {
  build();
  for (size_t i = 2 + below(10); i > 0; --i) use();
  // Dispose of a few of the session's objects (the web view among them, often), then use them
  // again.
  for (size_t i = 1 + below(3); i > 0; --i)
    call("PigeonInternalInstanceManager.removeStrongReference");
  for (size_t i = below(4); i > 0; --i) use();
}

std::vector<int64_t> Session::identifiers() const {
  std::vector<int64_t> identifiers;
  for (const auto& value : objects_.all()) {
    if (const auto* integer = std::get_if<Integer>(&value)) identifiers.push_back(integer->value);
    if (const auto* reference = std::get_if<Reference>(&value)) {
      identifiers.push_back(reference->identifier);
    }
  }
  return identifiers;
}

}  // namespace

WebViewSessions::WebViewSessions() : certificates_(std::make_unique<Certificates>()) {}

WebViewSessions::~WebViewSessions() = default;

void WebViewSessions::run(WebViewSessionHost& host) {
  Session session(host, *this);
  session.run();
  lingering_.push_back(session.identifiers());
  while (lingering_.size() > kLingering) {
    for (int64_t identifier : lingering_.front()) host.release(identifier);
    lingering_.pop_front();
  }
}

std::shared_ptr<NSObject> WebViewSessions::platformObject(
    const std::string& api, std::mt19937_64& random) const {
  auto chance = [&](double probability) {
    return std::uniform_real_distribution<double>(0, 1)(random) < probability;
  };
  if (api == "URL") return makeObject<NSURL>(sampleUrl(random));
  if (api != "URLAuthenticationChallenge") return nullptr;
  // As a navigation to a TLS server would hand it over: the stand-in network serves no TLS.
  const auto& chain = chance(0.8) ? certificates_->current : certificates_->expired;
  std::vector<SecCertificateRef> certificates{chain.leaf, chain.intermediate};
  if (chance(0.1)) certificates.clear();
  SecTrustRef trust;
  SecTrustCreateWithCertificates(
      certificates, SecPolicyCreateSSL(true, chance(0.8) ? "fuzz.test" : "other.test"), &trust);
  if (chance(0.8)) SecTrustSetAnchorCertificates(trust, {chain.root});
  auto space = makeObject<NSURLProtectionSpace>(
      "fuzz.test", 443, "https", std::nullopt, NSURLAuthenticationMethodServerTrust,
      chance(0.9) ? trust : nullptr);
  return makeObject<NSURLAuthenticationChallenge>(space);
}

void WebViewSessions::releaseAll(WebViewSessionHost& host) {
  for (const auto& identifiers : lingering_) {
    for (int64_t identifier : identifiers) host.release(identifier);
  }
  lingering_.clear();
}

}  // namespace channel_fuzzer
