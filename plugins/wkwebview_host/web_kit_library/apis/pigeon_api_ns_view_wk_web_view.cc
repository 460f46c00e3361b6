#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_ns_view_wk_web_view.h"

#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {
namespace {

using Delegate = PigeonApiDelegateNSViewWKWebView;

flutter::Value replyValue(const std::optional<std::string>& text) { return valueOrNull(text); }
flutter::Value replyValue(double number) { return flutter::Value(number); }
flutter::Value replyValue(bool flag) { return flutter::Value(flag); }

}  // namespace

std::vector<PigeonHostOperation> PigeonApiNSViewWKWebView::hostOperations() {
  using Api = PigeonApiNSViewWKWebView;
  return {
      operation("pigeon_defaultConstructor", &Api::pigeon_defaultConstructor),
      operation("configuration", &Api::configuration),
      attachOperation<WKUIDelegate, &Delegate::setUIDelegate>("setUIDelegate"),
      attachOperation<WKNavigationDelegate, &Delegate::setNavigationDelegate>("setNavigationDelegate"),
      readOperation<&Delegate::getUrl>("getUrl"),
      readOperation<&Delegate::getEstimatedProgress>("getEstimatedProgress"),
      operation("load", &Api::load),
      operation("loadHtmlString", &Api::loadHtmlString),
      operation("loadFileUrl", &Api::loadFileUrl),
      operation("loadFlutterAsset", &Api::loadFlutterAsset),
      readOperation<&Delegate::canGoBack>("canGoBack"),
      readOperation<&Delegate::canGoForward>("canGoForward"),
      actionOperation<&Delegate::goBack>("goBack"),
      actionOperation<&Delegate::goForward>("goForward"),
      actionOperation<&Delegate::reload>("reload"),
      readOperation<&Delegate::getTitle>("getTitle"),
      flagOperation<&Delegate::setAllowsBackForwardNavigationGestures>(
          "setAllowsBackForwardNavigationGestures"),
      operation("setCustomUserAgent", &Api::setCustomUserAgent),
      operation("evaluateJavaScript", &Api::evaluateJavaScript),
      operation("setInspectable", &Api::setInspectable),
      readOperation<&Delegate::getCustomUserAgent>("getCustomUserAgent"),
      flagOperation<&Delegate::setAllowsLinkPreview>("setAllowsLinkPreview"),
  };
}

template <typename Protocol, auto call>
PigeonHostOperation PigeonApiNSViewWKWebView::attachOperation(std::string name) {
  return {std::move(name), [this](const PigeonArguments& arguments, const PigeonHostReply& reply) {
            auto web_view = arguments.instance<WKWebView>(0);
            (pigeon_delegate_.get()->*call)(*this, *web_view, arguments.instance<Protocol>(1));
            reply.success();
          }};
}

template <auto call>
PigeonHostOperation PigeonApiNSViewWKWebView::readOperation(std::string name) {
  return {std::move(name), [this](const PigeonArguments& arguments, const PigeonHostReply& reply) {
            auto web_view = arguments.instance<WKWebView>(0);
            reply.success(replyValue((pigeon_delegate_.get()->*call)(*this, *web_view)));
          }};
}

template <auto call>
PigeonHostOperation PigeonApiNSViewWKWebView::actionOperation(std::string name) {
  return {std::move(name), [this](const PigeonArguments& arguments, const PigeonHostReply& reply) {
            auto web_view = arguments.instance<WKWebView>(0);
            (pigeon_delegate_.get()->*call)(*this, *web_view);
            reply.success();
          }};
}

template <auto call>
PigeonHostOperation PigeonApiNSViewWKWebView::flagOperation(std::string name) {
  return {std::move(name), [this](const PigeonArguments& arguments, const PigeonHostReply& reply) {
            auto web_view = arguments.instance<WKWebView>(0);
            (pigeon_delegate_.get()->*call)(*this, *web_view, arguments.boolean(1));
            reply.success();
          }};
}

void PigeonApiNSViewWKWebView::pigeon_defaultConstructor(const PigeonArguments& arguments,
                                                         const PigeonHostReply& reply) {
  int64_t identifier = arguments.identifier(0);
  auto configuration = arguments.instance<WKWebViewConfiguration>(1);
  pigeonRegistrar().instanceManager()->registerDartObject(
      pigeon_delegate_->pigeon_defaultConstructor(*this, configuration), identifier);
  reply.success();
}

void PigeonApiNSViewWKWebView::configuration(const PigeonArguments& arguments,
                                             const PigeonHostReply& reply) {
  auto web_view = arguments.instance<WKWebView>(0);
  int64_t identifier = arguments.identifier(1);
  pigeonRegistrar().instanceManager()->registerDartObject(
      pigeon_delegate_->configuration(*this, *web_view), identifier);
  reply.success();
}

void PigeonApiNSViewWKWebView::load(const PigeonArguments& arguments,
                                    const PigeonHostReply& reply) {
  auto web_view = arguments.instance<WKWebView>(0);
  auto request = arguments.instance<URLRequestWrapper>(1);
  pigeon_delegate_->load(*this, *web_view, *request);
  reply.success();
}

void PigeonApiNSViewWKWebView::loadHtmlString(const PigeonArguments& arguments,
                                              const PigeonHostReply& reply) {
  auto web_view = arguments.instance<WKWebView>(0);
  std::string html = arguments.string(1);
  pigeon_delegate_->loadHtmlString(*this, *web_view, html, arguments.optionalString(2));
  reply.success();
}

void PigeonApiNSViewWKWebView::loadFileUrl(const PigeonArguments& arguments,
                                           const PigeonHostReply& reply) {
  auto web_view = arguments.instance<WKWebView>(0);
  std::string url = arguments.string(1);
  std::string read_access_path = arguments.string(2);
  pigeon_delegate_->loadFileUrl(*this, *web_view, url, read_access_path);
  reply.success();
}

void PigeonApiNSViewWKWebView::loadFlutterAsset(const PigeonArguments& arguments,
                                                const PigeonHostReply& reply) {
  auto web_view = arguments.instance<WKWebView>(0);
  pigeon_delegate_->loadFlutterAsset(*this, *web_view, arguments.string(1));
  reply.success();
}

// Answered from the completion, once.
void PigeonApiNSViewWKWebView::evaluateJavaScript(const PigeonArguments& arguments,
                                                  const PigeonHostReply& reply) {
  auto web_view = arguments.instance<WKWebView>(0);
  pigeon_delegate_->evaluateJavaScript(
      *this, *web_view, arguments.string(1), [reply](PigeonResult result) {
        if (const auto* error = std::get_if<PigeonError>(&result)) {
          reply.failure(*error);
        } else {
          reply.success(std::move(std::get<flutter::Value>(result)));
        }
      });
}

void PigeonApiNSViewWKWebView::setCustomUserAgent(const PigeonArguments& arguments,
                                                  const PigeonHostReply& reply) {
  auto web_view = arguments.instance<WKWebView>(0);
  pigeon_delegate_->setCustomUserAgent(*this, *web_view, arguments.optionalString(1));
  reply.success();
}

void PigeonApiNSViewWKWebView::setInspectable(const PigeonArguments& arguments,
                                              const PigeonHostReply& reply) {
  auto web_view = arguments.instance<WKWebView>(0);
  pigeon_delegate_->setInspectable(*this, *web_view, arguments.boolean(1));
  reply.success();
}

}  // namespace wkwebview_host
