// The API delegate of the plug-in: every API object it makes carries the plug-in's own
// implementation of that class's behaviour.
#pragma once

#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_delegate.h"

namespace wkwebview_host {

class ProxyAPIDelegate final : public WebKitLibraryPigeonProxyApiDelegate {
 public:
  std::unique_ptr<PigeonApiURLRequest> pigeonApiURLRequest(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiHTTPURLResponse> pigeonApiHTTPURLResponse(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiURLResponse> pigeonApiURLResponse(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKUserScript> pigeonApiWKUserScript(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKNavigationAction> pigeonApiWKNavigationAction(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKNavigationResponse> pigeonApiWKNavigationResponse(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKFrameInfo> pigeonApiWKFrameInfo(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiNSError> pigeonApiNSError(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKScriptMessage> pigeonApiWKScriptMessage(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKSecurityOrigin> pigeonApiWKSecurityOrigin(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiHTTPCookie> pigeonApiHTTPCookie(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiAuthenticationChallengeResponse>
  pigeonApiAuthenticationChallengeResponse(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKWebsiteDataStore> pigeonApiWKWebsiteDataStore(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKWebViewConfiguration> pigeonApiWKWebViewConfiguration(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKUserContentController> pigeonApiWKUserContentController(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKPreferences> pigeonApiWKPreferences(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiNSObject> pigeonApiNSObject(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiNSViewWKWebView> pigeonApiNSViewWKWebView(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKWebView> pigeonApiWKWebView(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKHTTPCookieStore> pigeonApiWKHTTPCookieStore(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiURLCredential> pigeonApiURLCredential(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiURLProtectionSpace> pigeonApiURLProtectionSpace(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiURLAuthenticationChallenge> pigeonApiURLAuthenticationChallenge(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiURL> pigeonApiURL(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKWebpagePreferences> pigeonApiWKWebpagePreferences(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiGetTrustResultResponse> pigeonApiGetTrustResultResponse(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiSecTrust> pigeonApiSecTrust(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiSecCertificate> pigeonApiSecCertificate(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKScriptMessageHandler> pigeonApiWKScriptMessageHandler(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKNavigationDelegate> pigeonApiWKNavigationDelegate(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
  std::unique_ptr<PigeonApiWKUIDelegate> pigeonApiWKUIDelegate(
      WebKitLibraryPigeonProxyApiRegistrar& registrar) override;
};

}  // namespace wkwebview_host
