// Receivers of a stream's samples.
#pragma once

#include "platform/avfoundation/cm_sample_buffer.h"

class SCStream;

enum SCStreamOutputType : long {
  SCStreamOutputTypeScreen = 0,
  SCStreamOutputTypeAudio = 1,
  SCStreamOutputTypeMicrophone = 2,
};

class SCStreamOutput {
 public:
  virtual ~SCStreamOutput() = default;
  // Called on the sample-handler queue given when the output was added.
  virtual void stream(SCStream& stream, const CMSampleBufferRef& sampleBuffer,
                      SCStreamOutputType type) = 0;
};

class SCStreamDelegate {
 public:
  virtual ~SCStreamDelegate() = default;
  virtual void streamDidStopWithError(SCStream& stream, const NSError& error) = 0;
};
