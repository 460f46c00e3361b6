#include "platform/appkit/file_panel_sessions.h"

#include <algorithm>
#include <utility>

namespace appkit {
namespace {

// Ended sessions are kept for the test controls to read, up to this many.
constexpr size_t kKeptSessions = 64;

void dropOldestEnded(std::vector<PanelSession>& sessions) {
  if (sessions.size() <= kKeptSessions) return;
  auto ended = std::find_if(sessions.begin(), sessions.end(),
                            [](const PanelSession& session) { return !session.open; });
  if (ended != sessions.end()) sessions.erase(ended);
}

}  // namespace

FilePanelSessions& FilePanelSessions::shared() {
  static FilePanelSessions sessions;
  return sessions;
}

void FilePanelSessions::begin(PanelSession session) {
  std::lock_guard lock(mutex_);
  session.open = true;
  sessions_.push_back(std::move(session));
  dropOldestEnded(sessions_);
}

ModalAnswer FilePanelSessions::runModal(std::shared_ptr<NSSavePanel> panel) {
  std::lock_guard lock(mutex_);
  sessions_.push_back(PanelSession{std::move(panel), PanelPresentation::modal, {}, nullptr, false});
  dropOldestEnded(sessions_);
  if (modal_answers_.empty()) return ModalAnswer{};
  ModalAnswer answer = std::move(modal_answers_.front());
  modal_answers_.erase(modal_answers_.begin());
  return answer;
}

void FilePanelSessions::queueModalAnswer(ModalAnswer answer) {
  std::lock_guard lock(mutex_);
  modal_answers_.push_back(std::move(answer));
}

std::optional<NSSavePanel::CompletionHandler> FilePanelSessions::end(const NSSavePanel& panel) {
  std::lock_guard lock(mutex_);
  auto session = std::find_if(sessions_.begin(), sessions_.end(), [&](const PanelSession& s) {
    return s.open && s.panel.get() == &panel;
  });
  if (session == sessions_.end()) return std::nullopt;
  session->open = false;
  return std::exchange(session->completion, nullptr);
}

std::vector<PanelSession> FilePanelSessions::sessions() const {
  std::lock_guard lock(mutex_);
  return sessions_;
}

void FilePanelSessions::reset() {
  std::vector<PanelSession> dropped;
  {
    std::lock_guard lock(mutex_);
    dropped.swap(sessions_);
    modal_answers_.clear();
  }
  // The completions (and what they hold) are released outside the lock.
}

}  // namespace appkit
