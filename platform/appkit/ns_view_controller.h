// View controllers own one view, created on first use by loadView.
#pragma once

#include <memory>

#include "platform/appkit/ns_view.h"

class NSViewController : public std::enable_shared_from_this<NSViewController> {
 public:
  virtual ~NSViewController() = default;

  std::shared_ptr<NSView> view();
  void setView(std::shared_ptr<NSView> view) { view_ = std::move(view); }
  bool isViewLoaded() const { return view_ != nullptr; }

 protected:
  // Creates the view; the default is an empty view.
  virtual std::shared_ptr<NSView> loadView();

 private:
  std::shared_ptr<NSView> view_;
};
