#include "platform/appkit/testing/sharing_controls.h"

#include "platform/appkit/sharing_picker_sessions.h"

namespace appkit::testing {

std::vector<std::shared_ptr<NSSharingServicePicker>> shownSharingPickers() {
  return SharingPickerSessions::shared().history();
}

std::vector<std::shared_ptr<NSSharingServicePicker>> openSharingPickers() {
  return SharingPickerSessions::shared().onScreen();
}

std::shared_ptr<NSSharingService> chooseSharingService(NSSharingServicePicker& picker,
                                                       const std::string& title) {
  auto shown = SharingPickerSessions::shared().close(picker);
  if (!shown) return nullptr;
  auto service = std::make_shared<NSSharingService>(title);
  if (auto delegate = shown->delegate()) {
    service->setDelegate(delegate->sharingServicePickerDelegateForSharingService(*shown, *service));
    delegate->sharingServicePickerDidChooseSharingService(*shown, service);
  }
  return service;
}

bool dismissSharingPicker(NSSharingServicePicker& picker) {
  auto shown = SharingPickerSessions::shared().close(picker);
  if (!shown) return false;
  if (auto delegate = shown->delegate()) {
    delegate->sharingServicePickerDidChooseSharingService(*shown, nullptr);
  }
  return true;
}

void resetSharingPickers() { SharingPickerSessions::shared().reset(); }

}  // namespace appkit::testing
