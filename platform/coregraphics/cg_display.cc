// The display facts are process-wide, as the system's are; the test controls set them. Both live
// here because this library compiles only the files of its own directory.
#include "platform/coregraphics/cg_display.h"

#include <mutex>

#include "platform/coregraphics/testing/cg_display_controls.h"

namespace {

struct DisplayState {
  std::mutex mutex;
  CGDirectDisplayID main_display = 1;
  bool capture_access = false;
  bool request_answer = false;
  int request_count = 0;
};

DisplayState& displayState() {
  static auto* const state = new DisplayState();
  return *state;
}

}  // namespace

CGDirectDisplayID CGMainDisplayID() {
  std::lock_guard lock(displayState().mutex);
  return displayState().main_display;
}

bool CGPreflightScreenCaptureAccess() {
  std::lock_guard lock(displayState().mutex);
  return displayState().capture_access;
}

bool CGRequestScreenCaptureAccess() {
  auto& state = displayState();
  std::lock_guard lock(state.mutex);
  if (state.capture_access) return true;
  ++state.request_count;
  if (state.request_answer) state.capture_access = true;
  return state.capture_access;
}

namespace coregraphics::testing {

void setMainDisplayID(CGDirectDisplayID display) {
  std::lock_guard lock(displayState().mutex);
  displayState().main_display = display;
}

void setScreenCaptureAccess(bool granted) {
  std::lock_guard lock(displayState().mutex);
  displayState().capture_access = granted;
}

void setScreenCaptureRequestAnswer(bool grant) {
  std::lock_guard lock(displayState().mutex);
  displayState().request_answer = grant;
}

int screenCaptureRequestCount() {
  std::lock_guard lock(displayState().mutex);
  return displayState().request_count;
}

void resetDisplayControls() {
  auto& state = displayState();
  std::lock_guard lock(state.mutex);
  state.main_display = 1;
  state.capture_access = false;
  state.request_answer = false;
  state.request_count = 0;
}

}  // namespace coregraphics::testing
