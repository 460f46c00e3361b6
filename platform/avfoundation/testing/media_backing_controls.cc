#include "platform/avfoundation/testing/media_backing_controls.h"

#include "platform/avfoundation/av_media_backing.h"

namespace avfoundation::testing {

void useMediaModel() { internal::setMediaBacking(AVMediaBacking::model); }
void useMediaLibrary() { internal::setMediaBacking(AVMediaBacking::library); }

// Every control file refers to this, so a binary that drives the stand-in through its controls
// starts on the model.
bool modelChosenForControls() {
  static const bool chosen = (useMediaModel(), true);
  return chosen;
}

}  // namespace avfoundation::testing
