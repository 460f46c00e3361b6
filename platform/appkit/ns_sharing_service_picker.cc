#include "platform/appkit/ns_sharing_service_picker.h"

#include "platform/appkit/sharing_picker_sessions.h"

void NSSharingServicePicker::showRelativeToRect(NSRect rect, const std::shared_ptr<NSView>& view,
                                                NSRectEdge edge) {
  shown_rect_ = rect;
  shown_view_ = view;
  preferred_edge_ = edge;
  appkit::SharingPickerSessions::shared().shown(shared_from_this());
}
