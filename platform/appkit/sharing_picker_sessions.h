// The sharing pickers on screen: the system's side of NSSharingServicePicker, which keeps a shown
// picker alive until the user chooses or closes it, and which the test controls reach.
#pragma once

#include <memory>
#include <mutex>
#include <vector>

#include "platform/appkit/ns_sharing_service_picker.h"

namespace appkit {

class SharingPickerSessions {
 public:
  static SharingPickerSessions& shared();

  void shown(std::shared_ptr<NSSharingServicePicker> picker);
  // Takes the picker off the screen; null when it was not shown.
  std::shared_ptr<NSSharingServicePicker> close(const NSSharingServicePicker& picker);
  // The pickers shown since the last reset, in order (at most the most recent 64).
  std::vector<std::shared_ptr<NSSharingServicePicker>> history() const;
  std::vector<std::shared_ptr<NSSharingServicePicker>> onScreen() const;
  void reset();

 private:
  mutable std::mutex mutex_;
  std::vector<std::shared_ptr<NSSharingServicePicker>> history_;
  std::vector<std::shared_ptr<NSSharingServicePicker>> on_screen_;
};

}  // namespace appkit
