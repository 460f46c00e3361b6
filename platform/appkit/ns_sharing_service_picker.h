// The sharing-service picker: a menu of the services that can share some items, shown next to a
// rectangle of a view. When the user picks a service the picker asks its delegate for the
// service's delegate, then reports the choice; when the user closes it, it reports no service.
// The picker keeps its delegate weakly. Used on the main thread only.
#pragma once

#include <memory>
#include <string>
#include <variant>
#include <vector>

#include "platform/appkit/ns_sharing_service.h"
#include "platform/appkit/ns_view.h"
#include "platform/foundation/ns_url.h"

class NSSharingServicePicker;

// What can be shared: text, or a URL (a file URL for a file).
using NSSharingItem = std::variant<std::string, NSURL>;

enum NSRectEdge : unsigned long {
  NSMinXEdge = 0,
  NSMinYEdge = 1,
  NSMaxXEdge = 2,
  NSMaxYEdge = 3,
};

class NSSharingServicePickerDelegate {
 public:
  virtual ~NSSharingServicePickerDelegate() = default;
  // The delegate to give the chosen service; by default the service's own.
  virtual std::shared_ptr<NSSharingServiceDelegate> sharingServicePickerDelegateForSharingService(
      NSSharingServicePicker& /*picker*/, NSSharingService& service) {
    return service.delegate();
  }
  // The user's choice; null when the picker was closed without one.
  virtual void sharingServicePickerDidChooseSharingService(
      NSSharingServicePicker& /*picker*/, const std::shared_ptr<NSSharingService>& /*service*/) {}
};

class NSSharingServicePicker : public std::enable_shared_from_this<NSSharingServicePicker> {
 public:
  explicit NSSharingServicePicker(std::vector<NSSharingItem> items) : items_(std::move(items)) {}

  const std::vector<NSSharingItem>& items() const { return items_; }
  std::shared_ptr<NSSharingServicePickerDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<NSSharingServicePickerDelegate>& delegate) {
    delegate_ = delegate;
  }

  // Shows the picker next to `rect` (in `view`'s coordinates), on the preferred edge where there
  // is room. The picker stays alive while it is shown.
  void showRelativeToRect(NSRect rect, const std::shared_ptr<NSView>& view, NSRectEdge edge);

  // Where it was last shown.
  NSRect shownRect() const { return shown_rect_; }
  std::shared_ptr<NSView> shownView() const { return shown_view_.lock(); }
  NSRectEdge preferredEdge() const { return preferred_edge_; }

 private:
  std::vector<NSSharingItem> items_;
  std::weak_ptr<NSSharingServicePickerDelegate> delegate_;
  NSRect shown_rect_ = CGRectZero;
  std::weak_ptr<NSView> shown_view_;
  NSRectEdge preferred_edge_ = NSMinXEdge;
};
