// Not of the platform: a count of the errors poppler reports for one document that outlives its
// openings. A document logs its first few errors and then only counts them (see
// internal/pdf_error_log.h); one that is opened again and again (a worker that holds one document
// at a time, handed the same one anew) would log its first few at every opening. Documents opened
// on a thread while a scope lives count into its tally instead, and leave the summary to the
// tally's owner.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

namespace coregraphics {

using PdfErrorTally = std::shared_ptr<std::atomic<uint64_t>>;

class PdfErrorTallyScope {
 public:
  // `tally` must outlive the scope.
  explicit PdfErrorTallyScope(const PdfErrorTally& tally);
  ~PdfErrorTallyScope();
  PdfErrorTallyScope(const PdfErrorTallyScope&) = delete;
  PdfErrorTallyScope& operator=(const PdfErrorTallyScope&) = delete;

 private:
  const PdfErrorTally* previous_;
};

// One line with the total, when more errors were counted than logged.
void logPdfErrorSummary(const PdfErrorTally& tally);

}  // namespace coregraphics
