// The sharing picker's delegate for one "share" call: it gives the chosen service the subject,
// answers the call with the service's title (or "" when the picker closed without a choice), and
// keeps itself alive until then, since the picker holds it only weakly.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "platform/appkit/ns_sharing_service_picker.h"
#include "platform/flutter/value.h"

namespace share_sheet_macos {

class ShareSheetMacosSuccessDelegate
    : public NSSharingServicePickerDelegate,
      public std::enable_shared_from_this<ShareSheetMacosSuccessDelegate> {
 public:
  using Callback = std::function<void(flutter::Value)>;

  // Made alive until the choice is reported.
  static std::shared_ptr<ShareSheetMacosSuccessDelegate> create(std::optional<std::string> subject,
                                                                Callback callback);

  std::shared_ptr<NSSharingServiceDelegate> sharingServicePickerDelegateForSharingService(
      NSSharingServicePicker& picker, NSSharingService& service) override;
  void sharingServicePickerDidChooseSharingService(
      NSSharingServicePicker& picker, const std::shared_ptr<NSSharingService>& service) override;

 private:
  ShareSheetMacosSuccessDelegate(std::optional<std::string> subject, Callback callback)
      : subject_(std::move(subject)), callback_(std::move(callback)) {}

  std::optional<std::string> subject_;
  Callback callback_;
  std::shared_ptr<ShareSheetMacosSuccessDelegate> keep_self_;
};

}  // namespace share_sheet_macos
