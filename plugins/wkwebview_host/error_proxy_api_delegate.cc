#include "plugins/wkwebview_host/error_proxy_api_delegate.h"

#include "plugins/wkwebview_host/any_value_conversion.h"

namespace wkwebview_host {

int64_t ErrorProxyAPIDelegate::code(PigeonApiNSError&, const NSError& pigeonInstance) {
  return pigeonInstance.code;
}

std::string ErrorProxyAPIDelegate::domain(PigeonApiNSError&,
                                          const NSError& pigeonInstance) {
  return pigeonInstance.domain;
}

flutter::ValueMap ErrorProxyAPIDelegate::userInfo(PigeonApiNSError&,
                                                  const NSError& pigeonInstance) {
  return toPigeonMap(pigeonInstance.userInfo());
}

}  // namespace wkwebview_host
