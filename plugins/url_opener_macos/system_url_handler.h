// What the URL launcher needs of the system: opening a URL, and the application that would.
#pragma once

#include <memory>
#include <optional>

#include "platform/appkit/ns_workspace.h"

namespace url_opener_macos {

class SystemURLHandler {
 public:
  virtual ~SystemURLHandler() = default;
  virtual bool openURL(const NSURL& url) = 0;
  virtual std::optional<NSURL> URLForApplicationToOpenURL(const NSURL& url) const = 0;
};

// The workspace, taking the contract with its own two methods.
class WorkspaceURLHandler : public SystemURLHandler {
 public:
  explicit WorkspaceURLHandler(std::shared_ptr<NSWorkspace> workspace)
      : workspace_(std::move(workspace)) {}
  bool openURL(const NSURL& url) override { return workspace_->openURL(url); }
  std::optional<NSURL> URLForApplicationToOpenURL(const NSURL& url) const override {
    return workspace_->URLForApplicationToOpenURL(url);
  }

 private:
  std::shared_ptr<NSWorkspace> workspace_;
};

}  // namespace url_opener_macos
