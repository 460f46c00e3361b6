// Sharing services: a way of passing items on (mail, messages, a note...), titled for the user.
#pragma once

#include <memory>
#include <optional>
#include <string>

class NSSharingServiceDelegate {
 public:
  virtual ~NSSharingServiceDelegate() = default;
};

class NSSharingService {
 public:
  explicit NSSharingService(std::string title) : title_(std::move(title)) {}

  const std::string& title() const { return title_; }
  // The subject of what is shared, where the service has one (a mail's subject line).
  const std::optional<std::string>& subject() const { return subject_; }
  void setSubject(std::optional<std::string> subject) { subject_ = std::move(subject); }
  // The service keeps its delegate weakly.
  std::shared_ptr<NSSharingServiceDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<NSSharingServiceDelegate>& delegate) {
    delegate_ = delegate;
  }

 private:
  std::string title_;
  std::optional<std::string> subject_;
  std::weak_ptr<NSSharingServiceDelegate> delegate_;
};
