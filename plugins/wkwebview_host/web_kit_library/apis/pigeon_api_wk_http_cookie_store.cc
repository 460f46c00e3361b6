#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_wk_http_cookie_store.h"

#include "plugins/wkwebview_host/web_kit_library/native_object_value.h"

namespace wkwebview_host {

std::vector<PigeonHostOperation> PigeonApiWKHTTPCookieStore::hostOperations() {
  return {operation("setCookie", &PigeonApiWKHTTPCookieStore::setCookie),
          operation("getAllCookies", &PigeonApiWKHTTPCookieStore::getAllCookies)};
}

// The store is kept alive by the completion until the platform answers.
void PigeonApiWKHTTPCookieStore::setCookie(const PigeonArguments& arguments,
                                           const PigeonHostReply& reply) {
  auto store = arguments.instance<WKHTTPCookieStore>(0);
  auto cookie = arguments.instance<NSHTTPCookie>(1);
  pigeon_delegate_->setCookie(*this, *store, std::move(cookie),
                              [reply, store] { reply.success(); });
}

void PigeonApiWKHTTPCookieStore::getAllCookies(const PigeonArguments& arguments,
                                               const PigeonHostReply& reply) {
  auto store = arguments.instance<WKHTTPCookieStore>(0);
  pigeon_delegate_->getAllCookies(
      *this, *store, [reply, store](PigeonApiDelegateWKHTTPCookieStore::Cookies cookies) {
        flutter::ValueList list;
        list.reserve(cookies.size());
        for (auto& cookie : cookies) list.push_back(objectValue(std::move(cookie)));
        reply.success(flutter::Value(std::move(list)));
      });
}

}  // namespace wkwebview_host
