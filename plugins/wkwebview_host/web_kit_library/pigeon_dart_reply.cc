#include "plugins/wkwebview_host/web_kit_library/pigeon_dart_reply.h"

namespace wkwebview_host {
namespace {

PigeonError dartError(const flutter::ValueList& list) {
  const flutter::Value& code = list[0];
  std::optional<std::string> message;
  if (const auto* text = list[1].asString()) message = *text;
  return PigeonError(code.asString() != nullptr ? *code.asString() : code.stringValue(),
                     std::move(message), list.size() > 2 ? list[2] : flutter::Value());
}

}  // namespace

PigeonResult interpretDartReply(const std::optional<flutter::Value>& reply,
                                const std::string& channel, DartReturn expected) {
  const flutter::ValueList* list = reply ? reply->asList() : nullptr;
  if (list == nullptr) return PigeonError::connectionError(channel);
  if (list->size() > 1) return dartError(*list);
  if (expected == DartReturn::none) return flutter::Value();
  if (list->empty()) return PigeonError::connectionError(channel);
  const flutter::Value& result = list->front();
  if (result.isNull() && expected == DartReturn::nonNull) return PigeonError::nullError();
  return result;
}

}  // namespace wkwebview_host
