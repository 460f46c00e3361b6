// Display links of CoreVideo: while running, a link calls its output callback once per refresh
// of its display, on a thread of its own; refreshes missed during a slow callback are skipped.
// Stopping (or releasing) a link waits for a callback in progress to finish, so none runs after
// the stop has returned. Every call is safe from any thread; stopping or releasing a link from
// inside its own callback does not wait for that callback, and a link restarted after such a stop
// still ticks once per refresh.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/avfoundation/cv_pixel_buffer.h"
#include "platform/coregraphics/cg_display.h"

inline constexpr CVReturn kCVReturnError = -6660;
inline constexpr CVReturn kCVReturnDisplayLinkNotRunning = -6671;

struct CVTimeStamp {
  uint32_t version = 0;
  int32_t videoTimeScale = 0;
  int64_t videoTime = 0;
  uint64_t hostTime = 0;
  double rateScalar = 0;
  int64_t videoRefreshPeriod = 0;
  uint64_t flags = 0;
};

class CVDisplayLink;
using CVDisplayLinkRef = std::shared_ptr<CVDisplayLink>;
using CVOptionFlags = uint64_t;
using CVDisplayLinkOutputCallback = std::function<CVReturn(
    CVDisplayLink& link, const CVTimeStamp& now, const CVTimeStamp& outputTime,
    CVOptionFlags flagsIn, CVOptionFlags* flagsOut)>;

class CVDisplayLink {
 public:
  CVDisplayLink();
  ~CVDisplayLink();
  CVDisplayLink(const CVDisplayLink&) = delete;
  CVDisplayLink& operator=(const CVDisplayLink&) = delete;

 private:
  friend CVReturn CVDisplayLinkSetOutputCallback(const CVDisplayLinkRef&,
                                                 CVDisplayLinkOutputCallback);
  friend CVReturn CVDisplayLinkStart(const CVDisplayLinkRef&);
  friend CVReturn CVDisplayLinkStop(const CVDisplayLinkRef&);
  friend bool CVDisplayLinkIsRunning(const CVDisplayLinkRef&);
  friend CVReturn CVDisplayLinkSetCurrentCGDisplay(const CVDisplayLinkRef&, CGDirectDisplayID);
  friend CGDirectDisplayID CVDisplayLinkGetCurrentCGDisplay(const CVDisplayLinkRef&);
  friend CVReturn CVDisplayLinkGetCurrentTime(const CVDisplayLinkRef&, CVTimeStamp*);
  friend struct CVDisplayLinkModel;

  void start();
  void stop();
  // The body of the thread started by the start numbered `generation`.
  void tickLoop(uint64_t generation);

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  CVDisplayLinkOutputCallback callback_;
  CGDirectDisplayID display_;
  bool running_ = false;
  uint64_t ticks_requested_ = 0;
  uint64_t ticks_delivered_ = 0;
  int64_t video_time_ = 0;
  // Each start makes a new generation; a thread of an older one ends without ticking again.
  uint64_t generation_ = 0;
  // Tick threads not yet ended, those stopped from their own callback included.
  int live_threads_ = 0;
  std::thread thread_;
};

// Fails (null link, kCVReturnError) when the displays cannot be reached.
CVReturn CVDisplayLinkCreateWithActiveCGDisplays(CVDisplayLinkRef* displayLinkOut);
CVReturn CVDisplayLinkSetOutputCallback(const CVDisplayLinkRef& link,
                                        CVDisplayLinkOutputCallback callback);
CVReturn CVDisplayLinkStart(const CVDisplayLinkRef& link);
CVReturn CVDisplayLinkStop(const CVDisplayLinkRef& link);
bool CVDisplayLinkIsRunning(const CVDisplayLinkRef& link);
CVReturn CVDisplayLinkSetCurrentCGDisplay(const CVDisplayLinkRef& link, CGDirectDisplayID display);
CGDirectDisplayID CVDisplayLinkGetCurrentCGDisplay(const CVDisplayLinkRef& link);
// The time of the display's latest refresh, with its refresh period; fails while not running.
CVReturn CVDisplayLinkGetCurrentTime(const CVDisplayLinkRef& link, CVTimeStamp* outTime);
