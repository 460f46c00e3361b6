// The worker's side of its channel to the host. A worker executable calls WorkerChannel::adopt
// first thing in main: it takes the socket the host handed over, closes every other descriptor it
// inherited, arranges to be killed when the host goes, and applies the memory limit the host
// asked for (an address-space limit in plain builds; under the sanitizers the host set their
// allocator's limits in the environment instead).
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/system/unique_fd.h"
#include "platform/worker/shared_buffer.h"
#include "platform/worker/worker_frame.h"

namespace worker {

class WorkerChannel {
 public:
  using Clock = std::chrono::steady_clock;

  // Exits the process when it was not started by a host.
  static WorkerChannel adopt(int argc, char** argv);

  // The arguments the host passed after the channel's own.
  const std::vector<std::string>& arguments() const { return arguments_; }
  size_t maxMessageBytes() const { return max_message_bytes_; }

  // The next message; none once the host has closed the channel or broken the framing, or when
  // `deadline` passed first (a message begun is kept for the next call).
  std::optional<std::vector<uint8_t>> receive(
      std::optional<Clock::time_point> deadline = std::nullopt);

  enum class SendResult { sent, timedOut, closed, tooLarge };
  // Waits for the host to take the message. The deadline holds until the first byte is taken;
  // after that the rest follows, since the host reads a message whole.
  SendResult send(std::span<const uint8_t> message,
                  std::optional<Clock::time_point> deadline = std::nullopt);
  // As send, with `buffer` handed over beside the message: the host maps it instead of reading it
  // through the socket. The worker may drop its buffer once this returns.
  SendResult send(std::span<const uint8_t> message, const SharedBuffer& buffer,
                  std::optional<Clock::time_point> deadline = std::nullopt);

 private:
  WorkerChannel(libsystem::UniqueFd fd, size_t maxMessageBytes, std::vector<std::string> arguments)
      : fd_(std::move(fd)),
        max_message_bytes_(maxMessageBytes),
        arguments_(std::move(arguments)),
        reader_(maxMessageBytes) {}
  // Writes all of `bytes`; `deadline` holds only while none of them has been taken.
  // `descriptor`, when given, goes with the first byte.
  SendResult write(std::span<const uint8_t> bytes, std::optional<Clock::time_point>& deadline,
                   int descriptor = -1);

  libsystem::UniqueFd fd_;
  size_t max_message_bytes_;
  std::vector<std::string> arguments_;
  FrameReader reader_;
};

}  // namespace worker
