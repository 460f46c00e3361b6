#include "platform/avfoundation/testing/media_backing_controls.h"

#include "platform/avfoundation/internal/media_backing.h"

namespace avfoundation::testing {

void useMediaModel() { internal::setMediaBacking(internal::MediaBacking::model); }
void useMediaLibrary() { internal::setMediaBacking(internal::MediaBacking::library); }

// Every control file refers to this, so a binary that drives the stand-in through its controls
// starts on the model.
bool modelChosenForControls() {
  static const bool chosen = (useMediaModel(), true);
  return chosen;
}

}  // namespace avfoundation::testing
