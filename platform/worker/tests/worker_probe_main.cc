// A worker for the tests of platform/worker: each message is a command.
//   echo:<text>           answers <text>
//   arguments             answers its arguments, joined by spaces
//   spin                  runs until it is killed
//   allocate:<MiB>        takes and touches that much memory, then answers "allocated"
//                         (exits with 3 when an allocation fails)
//   flood:<bytes>         sends messages of that size, each within 300 ms of being offered,
//                         until one times out, then exits with 7
//   oversize              announces a message longer than agreed
//   exit:<code>           exits with that code
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/worker/worker_channel.h"

namespace {

using worker::WorkerChannel;

void answer(WorkerChannel& channel, const std::string& text) {
  channel.send({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

}  // namespace

int main(int argc, char** argv) {
  WorkerChannel channel = WorkerChannel::adopt(argc, argv);
  while (auto message = channel.receive()) {
    std::string command(message->begin(), message->end());
    if (command.starts_with("echo:")) {
      answer(channel, command.substr(5));
    } else if (command == "arguments") {
      std::string joined;
      for (const auto& argument : channel.arguments())
        joined += (joined.empty() ? "" : " ") + argument;
      answer(channel, joined);
    } else if (command == "spin") {
      volatile unsigned long turns = 0;
      for (;;) turns = turns + 1;
    } else if (command.starts_with("allocate:")) {
      size_t mebibytes = std::strtoul(command.c_str() + 9, nullptr, 10);
      std::vector<char*> kept;
      for (size_t i = 0; i < mebibytes; ++i) {
        auto* block = static_cast<char*>(std::malloc(size_t{1} << 20));
        if (block == nullptr) return 3;
        std::memset(block, 1, size_t{1} << 20);
        kept.push_back(block);
      }
      answer(channel, "allocated");
      for (char* block : kept) std::free(block);
    } else if (command.starts_with("flood:")) {
      std::vector<uint8_t> payload(std::strtoul(command.c_str() + 6, nullptr, 10), 'f');
      for (;;) {
        auto deadline = WorkerChannel::Clock::now() + std::chrono::milliseconds(300);
        if (channel.send(payload, deadline) != WorkerChannel::SendResult::sent) return 7;
      }
    } else if (command == "oversize") {
      uint32_t length = static_cast<uint32_t>(channel.maxMessageBytes() + 1);
      uint8_t header[4] = {static_cast<uint8_t>(length), static_cast<uint8_t>(length >> 8),
                           static_cast<uint8_t>(length >> 16), static_cast<uint8_t>(length >> 24)};
      [[maybe_unused]] ssize_t sent = ::write(3, header, sizeof(header));
      pause();
    } else if (command.starts_with("exit:")) {
      return std::atoi(command.c_str() + 5);
    }
  }
  return 0;
}
