// Test controls for sample-buffer display: interrupt decoding so that a flush is needed.
#pragma once

#include "platform/avfoundation/av_sample_buffer_display_layer.h"

namespace avfoundation::testing {

// The layer's renderer drops what is enqueued until it is flushed.
void interruptDecoding(AVSampleBufferDisplayLayer& layer);

}  // namespace avfoundation::testing
