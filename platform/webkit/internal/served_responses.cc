#include "platform/webkit/internal/served_responses.h"

namespace webkit {
namespace {

std::string withoutFragment(const std::string& url) { return url.substr(0, url.find('#')); }

}  // namespace

ServedResponses& ServedResponses::shared() {
  static ServedResponses responses;
  return responses;
}

std::optional<ServedResponse> ServedResponses::responseFor(const std::string& url) const {
  std::lock_guard lock(mutex_);
  auto found = responses_.find(withoutFragment(url));
  if (found == responses_.end()) return std::nullopt;
  return found->second;
}

void ServedResponses::setResponse(const std::string& url, ServedResponse response) {
  std::lock_guard lock(mutex_);
  responses_[withoutFragment(url)] = std::move(response);
}

void ServedResponses::removeAll() {
  std::lock_guard lock(mutex_);
  responses_.clear();
}

}  // namespace webkit
