#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_set_up_order.h"

#include <array>

#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_authentication_challenge_response.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_http_cookie.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_ns_object.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_ns_view_wk_web_view.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_sec_certificate.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_sec_trust.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_authentication_challenge.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_credential.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_protection_space.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_request.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_http_cookie_store.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_navigation_delegate.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_preferences.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_script_message_handler.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_ui_delegate.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_user_content_controller.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_user_script.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_web_view_configuration.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_webpage_preferences.h"
#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_website_data_store.h"

namespace wkwebview_host {
namespace {

template <auto factory>
std::shared_ptr<PigeonProxyApi> make(WebKitLibraryPigeonProxyApiDelegate& delegate,
                                     WebKitLibraryPigeonProxyApiRegistrar& registrar) {
  return (delegate.*factory)(registrar);
}

using Delegate = WebKitLibraryPigeonProxyApiDelegate;

// APIs that only announce objects have no host handlers and are not listed.
constexpr std::array kOrder = {
    &make<&Delegate::pigeonApiURLRequest>,
    &make<&Delegate::pigeonApiWKUserScript>,
    &make<&Delegate::pigeonApiHTTPCookie>,
    &make<&Delegate::pigeonApiAuthenticationChallengeResponse>,
    &make<&Delegate::pigeonApiWKWebsiteDataStore>,
    &make<&Delegate::pigeonApiWKWebViewConfiguration>,
    &make<&Delegate::pigeonApiWKUserContentController>,
    &make<&Delegate::pigeonApiWKPreferences>,
    &make<&Delegate::pigeonApiWKScriptMessageHandler>,
    &make<&Delegate::pigeonApiWKNavigationDelegate>,
    &make<&Delegate::pigeonApiNSObject>,
    &make<&Delegate::pigeonApiNSViewWKWebView>,
    &make<&Delegate::pigeonApiWKUIDelegate>,
    &make<&Delegate::pigeonApiWKHTTPCookieStore>,
    &make<&Delegate::pigeonApiURLCredential>,
    &make<&Delegate::pigeonApiURLProtectionSpace>,
    &make<&Delegate::pigeonApiURLAuthenticationChallenge>,
    &make<&Delegate::pigeonApiURL>,
    &make<&Delegate::pigeonApiWKWebpagePreferences>,
    &make<&Delegate::pigeonApiSecTrust>,
    &make<&Delegate::pigeonApiSecCertificate>,
};

}  // namespace

const std::span<const ProxyApiFactory> kProxyApiSetUpOrder(kOrder);

}  // namespace wkwebview_host
