#include "platform/avfoundation/testing/av_capture_display_controls.h"

class AVSampleBufferDisplayLayerControl {
 public:
  static void interrupt(AVSampleBufferVideoRenderer& renderer) {
    std::lock_guard lock(renderer.mutex_);
    renderer.requires_flush_ = true;
  }
};

namespace avfoundation::testing {

void interruptDecoding(AVSampleBufferDisplayLayer& layer) {
  AVSampleBufferDisplayLayerControl::interrupt(*layer.sampleBufferRenderer());
}

}  // namespace avfoundation::testing
