#include "plugins/wkwebview_host/web_kit_library/proxy_api_delegate.h"

#include "plugins/wkwebview_host/authentication_challenge_response_proxy_api_delegate.h"
#include "plugins/wkwebview_host/error_proxy_api_delegate.h"
#include "plugins/wkwebview_host/frame_info_proxy_api_delegate.h"
#include "plugins/wkwebview_host/get_trust_result_response_proxy_api_delegate.h"
#include "plugins/wkwebview_host/http_cookie_proxy_api_delegate.h"
#include "plugins/wkwebview_host/http_cookie_store_proxy_api_delegate.h"
#include "plugins/wkwebview_host/http_url_response_proxy_api_delegate.h"
#include "plugins/wkwebview_host/navigation_action_proxy_api_delegate.h"
#include "plugins/wkwebview_host/navigation_delegate_proxy_api_delegate.h"
#include "plugins/wkwebview_host/navigation_response_proxy_api_delegate.h"
#include "plugins/wkwebview_host/ns_object_proxy_api_delegate.h"
#include "plugins/wkwebview_host/preferences_proxy_api_delegate.h"
#include "plugins/wkwebview_host/script_message_handler_proxy_api_delegate.h"
#include "plugins/wkwebview_host/script_message_proxy_api_delegate.h"
#include "plugins/wkwebview_host/sec_certificate_proxy_api_delegate.h"
#include "plugins/wkwebview_host/sec_trust_proxy_api_delegate.h"
#include "plugins/wkwebview_host/security_origin_proxy_api_delegate.h"
#include "plugins/wkwebview_host/url_authentication_challenge_proxy_api_delegate.h"
#include "plugins/wkwebview_host/url_credential_proxy_api_delegate.h"
#include "plugins/wkwebview_host/url_protection_space_proxy_api_delegate.h"
#include "plugins/wkwebview_host/url_proxy_api_delegate.h"
#include "plugins/wkwebview_host/url_request_proxy_api_delegate.h"
#include "plugins/wkwebview_host/user_content_controller_proxy_api_delegate.h"
#include "plugins/wkwebview_host/ui_delegate_proxy_api_delegate.h"
#include "plugins/wkwebview_host/user_script_proxy_api_delegate.h"
#include "plugins/wkwebview_host/web_view_proxy_api_delegate.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_script_message_handler.h"
#include "plugins/wkwebview_host/web_view_configuration_proxy_api_delegate.h"
#include "plugins/wkwebview_host/webpage_preferences_proxy_api_delegate.h"
#include "plugins/wkwebview_host/website_data_store_proxy_api_delegate.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_http_cookie.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_ns_object.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_ns_view_wk_web_view.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_sec_certificate.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_sec_trust.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_authentication_challenge.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_credential.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_request.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_response.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_http_cookie_store.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_preferences.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_user_content_controller.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_web_view.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_web_view_configuration.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_webpage_preferences.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_website_data_store.h"

namespace wkwebview_host {

std::unique_ptr<PigeonApiURLRequest> ProxyAPIDelegate::pigeonApiURLRequest(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiURLRequest>(registrar,
                                               std::make_unique<URLRequestProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiHTTPURLResponse> ProxyAPIDelegate::pigeonApiHTTPURLResponse(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiHTTPURLResponse>(
      registrar, std::make_unique<HTTPURLResponseProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiURLResponse> ProxyAPIDelegate::pigeonApiURLResponse(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiURLResponse>(registrar);
}

std::unique_ptr<PigeonApiWKUserScript> ProxyAPIDelegate::pigeonApiWKUserScript(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKUserScript>(registrar,
                                                 std::make_unique<UserScriptProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiWKNavigationAction> ProxyAPIDelegate::pigeonApiWKNavigationAction(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKNavigationAction>(
      registrar, std::make_unique<NavigationActionProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiWKNavigationResponse> ProxyAPIDelegate::pigeonApiWKNavigationResponse(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKNavigationResponse>(
      registrar, std::make_unique<NavigationResponseProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiWKFrameInfo> ProxyAPIDelegate::pigeonApiWKFrameInfo(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKFrameInfo>(registrar,
                                                std::make_unique<FrameInfoProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiNSError> ProxyAPIDelegate::pigeonApiNSError(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiNSError>(registrar, std::make_unique<ErrorProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiWKScriptMessage> ProxyAPIDelegate::pigeonApiWKScriptMessage(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKScriptMessage>(
      registrar, std::make_unique<ScriptMessageProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiWKSecurityOrigin> ProxyAPIDelegate::pigeonApiWKSecurityOrigin(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKSecurityOrigin>(
      registrar, std::make_unique<SecurityOriginProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiHTTPCookie> ProxyAPIDelegate::pigeonApiHTTPCookie(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiHTTPCookie>(registrar,
                                               std::make_unique<HTTPCookieProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiAuthenticationChallengeResponse>
ProxyAPIDelegate::pigeonApiAuthenticationChallengeResponse(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiAuthenticationChallengeResponse>(
      registrar, std::make_unique<AuthenticationChallengeResponseProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiWKWebsiteDataStore> ProxyAPIDelegate::pigeonApiWKWebsiteDataStore(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKWebsiteDataStore>(
      registrar, std::make_unique<WebsiteDataStoreProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiWKWebViewConfiguration> ProxyAPIDelegate::pigeonApiWKWebViewConfiguration(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKWebViewConfiguration>(
      registrar, std::make_unique<WebViewConfigurationProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiWKUserContentController>
ProxyAPIDelegate::pigeonApiWKUserContentController(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKUserContentController>(
      registrar, std::make_unique<UserContentControllerProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiWKPreferences> ProxyAPIDelegate::pigeonApiWKPreferences(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKPreferences>(registrar,
                                                  std::make_unique<PreferencesProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiNSObject> ProxyAPIDelegate::pigeonApiNSObject(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiNSObject>(registrar,
                                             std::make_unique<NSObjectProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiNSViewWKWebView> ProxyAPIDelegate::pigeonApiNSViewWKWebView(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiNSViewWKWebView>(registrar,
                                                    std::make_unique<WebViewProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiWKWebView> ProxyAPIDelegate::pigeonApiWKWebView(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKWebView>(registrar);
}

std::unique_ptr<PigeonApiWKHTTPCookieStore> ProxyAPIDelegate::pigeonApiWKHTTPCookieStore(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKHTTPCookieStore>(
      registrar, std::make_unique<HTTPCookieStoreProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiURLCredential> ProxyAPIDelegate::pigeonApiURLCredential(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiURLCredential>(registrar,
                                                  std::make_unique<URLCredentialProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiURLProtectionSpace> ProxyAPIDelegate::pigeonApiURLProtectionSpace(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiURLProtectionSpace>(
      registrar, std::make_unique<URLProtectionSpaceProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiURLAuthenticationChallenge>
ProxyAPIDelegate::pigeonApiURLAuthenticationChallenge(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiURLAuthenticationChallenge>(
      registrar, std::make_unique<URLAuthenticationChallengeProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiURL> ProxyAPIDelegate::pigeonApiURL(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiURL>(registrar, std::make_unique<URLProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiWKWebpagePreferences> ProxyAPIDelegate::pigeonApiWKWebpagePreferences(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKWebpagePreferences>(
      registrar, std::make_unique<WebpagePreferencesProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiGetTrustResultResponse> ProxyAPIDelegate::pigeonApiGetTrustResultResponse(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiGetTrustResultResponse>(
      registrar, std::make_unique<GetTrustResultResponseProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiSecTrust> ProxyAPIDelegate::pigeonApiSecTrust(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiSecTrust>(registrar,
                                             std::make_unique<SecTrustProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiSecCertificate> ProxyAPIDelegate::pigeonApiSecCertificate(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiSecCertificate>(
      registrar, std::make_unique<SecCertificateProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiWKScriptMessageHandler> ProxyAPIDelegate::pigeonApiWKScriptMessageHandler(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKScriptMessageHandler>(
      registrar, std::make_unique<ScriptMessageHandlerProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiWKNavigationDelegate> ProxyAPIDelegate::pigeonApiWKNavigationDelegate(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKNavigationDelegate>(
      registrar, std::make_unique<NavigationDelegateProxyAPIDelegate>());
}

std::unique_ptr<PigeonApiWKUIDelegate> ProxyAPIDelegate::pigeonApiWKUIDelegate(
    WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return std::make_unique<PigeonApiWKUIDelegate>(registrar,
                                                 std::make_unique<UIDelegateProxyAPIDelegate>());
}

}  // namespace wkwebview_host
