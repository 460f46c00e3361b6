// Counts what the process allocates through operator new, for tests that bound the copies and
// the memory of large values by the process's own accounting rather than by timings. Counting
// happens only in an executable that links the replacement of operator new
// (platform_flutter_allocation_meter); elsewhere every count stays zero.
//
// Bytes are counted per thread (what the calling thread allocated) and for the process (the
// highest number of bytes live at once). The in-process Dart side does not count what it does
// on the Dart side's behalf (decoding, recording), which another process would do.
#pragma once

#include <cstddef>

namespace flutter::testing {

class AllocationMeter {
 public:
  // Starts counting from now: this thread's bytes from zero, the peak from what is live now.
  AllocationMeter();

  // Bytes this thread allocated since the meter started.
  size_t bytesAllocatedByThisThread() const;
  // Bytes every thread allocated since the meter started, each block counted as made.
  size_t bytesAllocatedByTheProcess() const;
  // The most bytes live at once since the meter started, above those live at its start.
  size_t peakBytesAboveStart() const;
  // Whether this executable counts at all.
  static bool isCounting();

 private:
  size_t thread_start_;
  size_t process_start_;
  size_t live_at_start_;
};

// While one lives, this thread's allocations are not counted as its own.
class NotMetered {
 public:
  NotMetered();
  ~NotMetered();
  NotMetered(const NotMetered&) = delete;
  NotMetered& operator=(const NotMetered&) = delete;

 private:
  bool was_metered_;
};

namespace allocation_counts {
// Kept by the replacement of operator new.
void allocated(size_t bytes);
void freed(size_t bytes);
void setCounting();
}  // namespace allocation_counts

}  // namespace flutter::testing
