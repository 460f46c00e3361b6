#include "platform/coregraphics/internal/pdf_error_log.h"

#include <glib.h>
#include <poppler/cpp/poppler-global.h>

#include <mutex>
#include <string>

#include "platform/coregraphics/pdf_error_tally.h"
#include "platform/foundation/ns_log.h"

namespace coregraphics::internal {
namespace {

thread_local PdfErrorLog* current_log = nullptr;
thread_local const PdfErrorTally* current_tally = nullptr;

// Errors reported on a thread that works on no document.
PdfErrorLog& unattributed() {
  static auto* const log = new PdfErrorLog();
  return *log;
}

void route(std::string_view message) {
  (current_log != nullptr ? *current_log : unattributed()).report(message);
}

void fromPopplerCpp(const std::string& message, void*) { route(message); }

void fromPopplerGlib(const gchar*, GLogLevelFlags, const gchar* message, gpointer) {
  route(message != nullptr ? message : "");
}

// One line of plain text: control characters and bytes outside ASCII become '?'.
std::string printable(std::string_view message) {
  std::string line(message.substr(0, PdfErrorLog::kLoggedMessageBytes));
  for (char& c : line) {
    if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) c = '?';
  }
  if (message.size() > line.size()) line += "...";
  return line;
}

void installHandlersOnce() {
  static std::once_flag once;
  std::call_once(once, [] {
    poppler::set_debug_error_function(fromPopplerCpp, nullptr);
    g_log_set_handler(
        "Poppler",
        static_cast<GLogLevelFlags>(G_LOG_LEVEL_MASK | G_LOG_FLAG_FATAL | G_LOG_FLAG_RECURSION),
        fromPopplerGlib, nullptr);
  });
}

}  // namespace

PdfErrorLog::PdfErrorLog()
    : tallied_(current_tally != nullptr && *current_tally != nullptr),
      count_(tallied_ ? *current_tally : std::make_shared<std::atomic<uint64_t>>(0)) {
  installHandlersOnce();
}

PdfErrorLog::~PdfErrorLog() {
  uint64_t count = count_->load();
  if (!tallied_ && count > kLoggedErrors) {
    NSLog("PDF document: %llu errors in all, the first %llu logged",
          static_cast<unsigned long long>(count), static_cast<unsigned long long>(kLoggedErrors));
  }
}

void PdfErrorLog::report(std::string_view message) {
  uint64_t number = count_->fetch_add(1) + 1;
  if (number <= kLoggedErrors) {
    NSLog("PDF document error: %s", printable(message).c_str());
  } else if (number == kLoggedErrors + 1) {
    NSLog("PDF document: further errors are counted, not logged");
  }
}

PdfErrorLog::Scope::Scope(PdfErrorLog& log) : previous_(current_log) { current_log = &log; }

PdfErrorLog::Scope::~Scope() { current_log = previous_; }

}  // namespace coregraphics::internal

namespace coregraphics {

PdfErrorTallyScope::PdfErrorTallyScope(const PdfErrorTally& tally)
    : previous_(internal::current_tally) {
  internal::current_tally = &tally;
}

PdfErrorTallyScope::~PdfErrorTallyScope() { internal::current_tally = previous_; }

void logPdfErrorSummary(const PdfErrorTally& tally) {
  uint64_t count = tally ? tally->load() : 0;
  if (count > internal::PdfErrorLog::kLoggedErrors) {
    NSLog("PDF document: %llu errors in all, the first %llu logged",
          static_cast<unsigned long long>(count),
          static_cast<unsigned long long>(internal::PdfErrorLog::kLoggedErrors));
  }
}

}  // namespace coregraphics
