// Makes the API object of each wrapped class, bound to a registrar. The proxy codec asks it for
// a fresh API object for every announcement, and the registrar for the ones whose handlers it
// installs.
#pragma once

#include <memory>

namespace wkwebview_host {

class WebKitLibraryPigeonProxyApiRegistrar;
class PigeonApiURLRequest;
class PigeonApiHTTPURLResponse;
class PigeonApiURLResponse;
class PigeonApiWKUserScript;
class PigeonApiWKNavigationAction;
class PigeonApiWKNavigationResponse;
class PigeonApiWKFrameInfo;
class PigeonApiNSError;
class PigeonApiWKScriptMessage;
class PigeonApiWKSecurityOrigin;
class PigeonApiHTTPCookie;
class PigeonApiAuthenticationChallengeResponse;
class PigeonApiWKWebsiteDataStore;
class PigeonApiWKWebViewConfiguration;
class PigeonApiWKUserContentController;
class PigeonApiWKPreferences;
class PigeonApiNSObject;
class PigeonApiNSViewWKWebView;
class PigeonApiWKWebView;
class PigeonApiWKHTTPCookieStore;
class PigeonApiURLCredential;
class PigeonApiURLProtectionSpace;
class PigeonApiURLAuthenticationChallenge;
class PigeonApiURL;
class PigeonApiWKWebpagePreferences;
class PigeonApiGetTrustResultResponse;
class PigeonApiSecTrust;
class PigeonApiSecCertificate;
class PigeonApiWKScriptMessageHandler;
class PigeonApiWKNavigationDelegate;
class PigeonApiWKUIDelegate;

class WebKitLibraryPigeonProxyApiDelegate {
 public:
  virtual ~WebKitLibraryPigeonProxyApiDelegate() = default;

  virtual std::unique_ptr<PigeonApiURLRequest> pigeonApiURLRequest(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiHTTPURLResponse> pigeonApiHTTPURLResponse(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiURLResponse> pigeonApiURLResponse(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKUserScript> pigeonApiWKUserScript(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKNavigationAction> pigeonApiWKNavigationAction(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKNavigationResponse> pigeonApiWKNavigationResponse(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKFrameInfo> pigeonApiWKFrameInfo(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiNSError> pigeonApiNSError(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKScriptMessage> pigeonApiWKScriptMessage(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKSecurityOrigin> pigeonApiWKSecurityOrigin(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiHTTPCookie> pigeonApiHTTPCookie(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiAuthenticationChallengeResponse>
  pigeonApiAuthenticationChallengeResponse(WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKWebsiteDataStore> pigeonApiWKWebsiteDataStore(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKWebViewConfiguration> pigeonApiWKWebViewConfiguration(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKUserContentController> pigeonApiWKUserContentController(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKPreferences> pigeonApiWKPreferences(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiNSObject> pigeonApiNSObject(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiNSViewWKWebView> pigeonApiNSViewWKWebView(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKWebView> pigeonApiWKWebView(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKHTTPCookieStore> pigeonApiWKHTTPCookieStore(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiURLCredential> pigeonApiURLCredential(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiURLProtectionSpace> pigeonApiURLProtectionSpace(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiURLAuthenticationChallenge> pigeonApiURLAuthenticationChallenge(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiURL> pigeonApiURL(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKWebpagePreferences> pigeonApiWKWebpagePreferences(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiGetTrustResultResponse> pigeonApiGetTrustResultResponse(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiSecTrust> pigeonApiSecTrust(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiSecCertificate> pigeonApiSecCertificate(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKScriptMessageHandler> pigeonApiWKScriptMessageHandler(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKNavigationDelegate> pigeonApiWKNavigationDelegate(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
  virtual std::unique_ptr<PigeonApiWKUIDelegate> pigeonApiWKUIDelegate(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) = 0;
};

}  // namespace wkwebview_host
