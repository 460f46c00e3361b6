#include "plugins/share_sheet_macos/share_sheet_macos_success_delegate.h"

#include <utility>

namespace share_sheet_macos {

std::shared_ptr<ShareSheetMacosSuccessDelegate> ShareSheetMacosSuccessDelegate::create(
    std::optional<std::string> subject, Callback callback) {
  std::shared_ptr<ShareSheetMacosSuccessDelegate> delegate(
      new ShareSheetMacosSuccessDelegate(std::move(subject), std::move(callback)));
  delegate->keep_self_ = delegate;
  return delegate;
}

std::shared_ptr<NSSharingServiceDelegate>
ShareSheetMacosSuccessDelegate::sharingServicePickerDelegateForSharingService(
    NSSharingServicePicker& /*picker*/, NSSharingService& service) {
  if (subject_) service.setSubject(subject_);
  return service.delegate();
}

void ShareSheetMacosSuccessDelegate::sharingServicePickerDidChooseSharingService(
    NSSharingServicePicker& /*picker*/, const std::shared_ptr<NSSharingService>& service) {
  // Released only after this call returns: the caller still holds a reference to the delegate.
  auto self = std::move(keep_self_);
  if (callback_) std::exchange(callback_, nullptr)(flutter::Value(service ? service->title() : ""));
}

}  // namespace share_sheet_macos
