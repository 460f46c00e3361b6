#include "tools/fuzzing/crash_report.h"

#include <signal.h>

#include <atomic>

// The sanitizer runtime is referred to only when this file is compiled with a sanitizer: a build
// without one has no runtime to link against.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define FUZZING_HAS_SANITIZER_RUNTIME 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define FUZZING_HAS_SANITIZER_RUNTIME 1
#endif
#endif

#ifdef FUZZING_HAS_SANITIZER_RUNTIME
#include <sanitizer/common_interface_defs.h>
#endif

namespace fuzzing {
namespace {

std::atomic<void (*)()> the_report{nullptr};

void reportOnce() {
  if (auto report = the_report.exchange(nullptr)) report();
}

void reportAndDie(int signal_number) {
  reportOnce();
  ::signal(signal_number, SIG_DFL);
  ::raise(signal_number);
}

}  // namespace

void onFatalError(void (*report)()) {
  the_report = report;
  // A failed assertion aborts, which no sanitizer reports.
  ::signal(SIGABRT, reportAndDie);
#ifdef FUZZING_HAS_SANITIZER_RUNTIME
  __sanitizer_set_death_callback(reportOnce);
#else
  for (int signal_number : {SIGSEGV, SIGBUS, SIGFPE, SIGILL}) ::signal(signal_number, reportAndDie);
#endif
}

}  // namespace fuzzing
