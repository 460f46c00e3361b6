#include "platform/appkit/ns_workspace.h"

#include <optional>
#include <string>

#include "platform/foundation/ascii_case.h"

namespace {

std::optional<std::string> schemeOf(const NSURL& url) {
  if (!url.scheme()) return std::nullopt;
  return foundation::asciiLowercased(*url.scheme());
}

}  // namespace

std::shared_ptr<NSWorkspace> NSWorkspace::sharedWorkspace() {
  static const std::shared_ptr<NSWorkspace> workspace(new NSWorkspace());
  return workspace;
}

NSWorkspace::NSWorkspace() { resetToLaunchState(); }

void NSWorkspace::resetToLaunchState() {
  std::lock_guard lock(mutex_);
  NSURL browser = NSURL::fileURLWithPath("/Applications/Browser.app", true);
  applications_ = {
      {"http", browser},
      {"https", browser},
      {"mailto", NSURL::fileURLWithPath("/Applications/Mail.app", true)},
      {"file", NSURL::fileURLWithPath("/System/Library/CoreServices/Finder.app", true)},
  };
  opening_refused_ = false;
  opened_.clear();
}

bool NSWorkspace::openURL(const NSURL& url) {
  std::lock_guard lock(mutex_);
  auto scheme = schemeOf(url);
  if (!scheme || !applications_.contains(*scheme) || opening_refused_) return false;
  if (recording_) {
    opened_.push_back(url);
    if (opened_.size() > kRecordedURLs) opened_.pop_front();
  }
  return true;
}

std::optional<NSURL> NSWorkspace::URLForApplicationToOpenURL(const NSURL& url) const {
  std::lock_guard lock(mutex_);
  auto scheme = schemeOf(url);
  if (!scheme) return std::nullopt;
  auto application = applications_.find(*scheme);
  if (application == applications_.end()) return std::nullopt;
  return application->second;
}
