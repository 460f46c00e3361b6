// Test controls for the sharing-service picker: see the pickers shown, and choose a service or
// close the picker as the user would.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/appkit/ns_sharing_service_picker.h"

namespace appkit::testing {

// The pickers shown since the last reset, in order (at most the most recent 64).
std::vector<std::shared_ptr<NSSharingServicePicker>> shownSharingPickers();
// The pickers still on screen.
std::vector<std::shared_ptr<NSSharingServicePicker>> openSharingPickers();

// Picks the service titled `title`: the picker asks its delegate for the service's delegate and
// reports the choice. Answers the service, or null when the picker is not on screen.
std::shared_ptr<NSSharingService> chooseSharingService(NSSharingServicePicker& picker,
                                                       const std::string& title);
// Closes the picker without a choice. False when it is not on screen.
bool dismissSharingPicker(NSSharingServicePicker& picker);

void resetSharingPickers();

}  // namespace appkit::testing
