// A capture stream of one display. Starting and stopping complete on a thread of the framework;
// samples reach each output on the queue it was added with. A running stream delivers the
// screen on its own, at its minimum frame interval but no faster than the display's 60 Hz,
// from a timer of its own; stopping or dropping the stream ends the timer.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "platform/dispatch/dispatch.h"
#include "platform/screencapturekit/sc_content_filter.h"
#include "platform/screencapturekit/sc_stream_configuration.h"
#include "platform/screencapturekit/sc_stream_output.h"

class SCStream : public std::enable_shared_from_this<SCStream> {
 public:
  using CompletionHandler = std::function<void(std::optional<NSError> error)>;

  // The delegate may be null.
  SCStream(SCContentFilter filter, SCStreamConfiguration configuration,
           std::weak_ptr<SCStreamDelegate> delegate);
  ~SCStream();
  SCStream(const SCStream&) = delete;
  SCStream& operator=(const SCStream&) = delete;

  const SCContentFilter& filter() const { return filter_; }
  const SCStreamConfiguration& configuration() const { return configuration_; }

  // The stream holds the output weakly: an output that goes away receives nothing more.
  bool addStreamOutput(const std::shared_ptr<SCStreamOutput>& output, SCStreamOutputType type,
                       dispatch_queue_t sampleHandlerQueue, std::optional<NSError>* error);
  void startCaptureWithCompletionHandler(CompletionHandler completionHandler);
  // A stopped stream cannot be started again.
  void stopCaptureWithCompletionHandler(CompletionHandler completionHandler);

  // Hands a sample to every output of its type, on their queues. Used by the capture model.
  void deliverSample(const CMSampleBufferRef& sample, SCStreamOutputType type);

 private:
  enum class State { idle, running, stopped };
  // Moves an idle stream to running, on the framework's queue.
  std::optional<NSError> beginRunning();
  // Starts the stream's own frames of the screen, unless the model holds them.
  void startScreenFrames();
  void stopScreenFrames();
  struct Output {
    std::weak_ptr<SCStreamOutput> output;
    SCStreamOutputType type;
    dispatch_queue_t queue;
  };

  SCContentFilter filter_;
  SCStreamConfiguration configuration_;
  std::weak_ptr<SCStreamDelegate> delegate_;
  std::mutex mutex_;
  State state_ = State::idle;
  std::vector<Output> outputs_;
  dispatch_source_t frame_timer_;
};
