// Sole ownership of a file descriptor: it is closed once, when its owner is reset, closed or goes
// away, and never twice. Move-only; an empty owner holds -1.
#pragma once

namespace libsystem {

class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd < 0 ? -1 : fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }

  // Gives the descriptor up without closing it.
  [[nodiscard]] int release();
  // Closes what is held (leaving errno as it was: a cleanup must not hide the failure that led
  // to it) and takes `fd`. Taking the descriptor already held keeps it open.
  void reset(int fd = -1);
  // Closes now and says whether the kernel took the close cleanly: a failed close can mean that
  // written data was lost, which a caller that answers "saved" must know. The descriptor is gone
  // either way, so it is not retried (not even after EINTR, when Linux has already released it).
  // An empty owner answers false.
  bool close();

 private:
  int fd_ = -1;
};

}  // namespace libsystem
