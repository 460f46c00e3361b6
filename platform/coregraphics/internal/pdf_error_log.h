// The errors poppler reports while it reads or draws a document. poppler has no per-document
// error handler, only process-wide ones (poppler-cpp's debug function, poppler-glib's log domain),
// and a damaged file can report an error for every byte. Both handlers lead here: an error is
// counted against the document whose work runs on the reporting thread, the first few of a
// document are logged, and the document logs one summary of the rest when it goes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>

namespace coregraphics::internal {

class PdfErrorLog {
 public:
  // Errors logged one by one per document; the rest are only counted.
  static constexpr uint64_t kLoggedErrors = 5;
  // Longer messages are cut to this many bytes.
  static constexpr size_t kLoggedMessageBytes = 200;

  // Counts into the tally of the thread's PdfErrorTallyScope when one lives (the tally's owner
  // then writes the summary), else into a count of its own.
  PdfErrorLog();
  // Logs how many errors there were in all, when more than were logged, unless a tally counts.
  ~PdfErrorLog();
  PdfErrorLog(const PdfErrorLog&) = delete;
  PdfErrorLog& operator=(const PdfErrorLog&) = delete;

  void report(std::string_view message);
  uint64_t count() const { return count_->load(); }

  // While a scope lives, the errors reported on its thread go to `log`.
  class Scope {
   public:
    explicit Scope(PdfErrorLog& log);
    ~Scope();
    Scope(const Scope&) = delete;
    Scope& operator=(const Scope&) = delete;

   private:
    PdfErrorLog* previous_;
  };

 private:
  bool tallied_ = false;
  std::shared_ptr<std::atomic<uint64_t>> count_;
};

}  // namespace coregraphics::internal
