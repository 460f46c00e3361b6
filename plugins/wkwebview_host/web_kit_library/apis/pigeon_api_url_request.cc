#include "plugins/wkwebview_host/web_kit_library/apis/pigeon_api_url_request.h"

#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api_registrar.h"

namespace wkwebview_host {
namespace {

template <typename T>
flutter::Value optionalValue(std::optional<T> value) {
  return value ? flutter::Value(std::move(*value)) : flutter::Value();
}

flutter::Value headerValue(std::optional<PigeonApiDelegateURLRequest::HeaderFields> fields) {
  if (!fields) return flutter::Value();
  flutter::ValueMap map;
  for (auto& [name, value] : *fields) map.append(flutter::Value(name), flutter::Value(value));
  return flutter::Value(std::move(map));
}

}  // namespace

std::vector<PigeonHostOperation> PigeonApiURLRequest::hostOperations() {
  using Api = PigeonApiURLRequest;
  return {
      operation("pigeon_defaultConstructor", &Api::pigeonDefaultConstructor),
      operation("getUrl", &Api::getUrl),
      operation("setHttpMethod", &Api::setHttpMethod),
      operation("getHttpMethod", &Api::getHttpMethod),
      operation("setHttpBody", &Api::setHttpBody),
      operation("getHttpBody", &Api::getHttpBody),
      operation("setAllHttpHeaderFields", &Api::setAllHttpHeaderFields),
      operation("getAllHttpHeaderFields", &Api::getAllHttpHeaderFields),
  };
}

void PigeonApiURLRequest::pigeonDefaultConstructor(const PigeonArguments& arguments,
                                                   const PigeonHostReply& reply) {
  int64_t identifier = arguments.identifier(0);
  auto request = pigeon_delegate_->pigeonDefaultConstructor(*this, arguments.string(1));
  pigeonRegistrar().instanceManager()->registerDartObject(request, identifier);
  reply.success();
}

void PigeonApiURLRequest::getUrl(const PigeonArguments& arguments, const PigeonHostReply& reply) {
  reply.success(
      optionalValue(pigeon_delegate_->getUrl(*this, *arguments.instance<URLRequestWrapper>(0))));
}

void PigeonApiURLRequest::setHttpMethod(const PigeonArguments& arguments,
                                        const PigeonHostReply& reply) {
  pigeon_delegate_->setHttpMethod(*this, *arguments.instance<URLRequestWrapper>(0),
                                  arguments.optionalString(1));
  reply.success();
}

void PigeonApiURLRequest::getHttpMethod(const PigeonArguments& arguments,
                                        const PigeonHostReply& reply) {
  reply.success(optionalValue(
      pigeon_delegate_->getHttpMethod(*this, *arguments.instance<URLRequestWrapper>(0))));
}

void PigeonApiURLRequest::setHttpBody(const PigeonArguments& arguments,
                                      const PigeonHostReply& reply) {
  auto request = arguments.instance<URLRequestWrapper>(0);
  pigeon_delegate_->setHttpBody(*this, *request, arguments.optionalBytes(1));
  reply.success();
}

void PigeonApiURLRequest::getHttpBody(const PigeonArguments& arguments,
                                      const PigeonHostReply& reply) {
  reply.success(optionalValue(
      pigeon_delegate_->getHttpBody(*this, *arguments.instance<URLRequestWrapper>(0))));
}

void PigeonApiURLRequest::setAllHttpHeaderFields(const PigeonArguments& arguments,
                                                 const PigeonHostReply& reply) {
  auto request = arguments.instance<URLRequestWrapper>(0);
  pigeon_delegate_->setAllHttpHeaderFields(*this, *request, arguments.optionalStringMap(1));
  reply.success();
}

void PigeonApiURLRequest::getAllHttpHeaderFields(const PigeonArguments& arguments,
                                                 const PigeonHostReply& reply) {
  reply.success(headerValue(
      pigeon_delegate_->getAllHttpHeaderFields(*this, *arguments.instance<URLRequestWrapper>(0))));
}

}  // namespace wkwebview_host
