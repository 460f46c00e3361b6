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
//   buffer:<bytes>        answers "buffer" with a shared buffer of that size, byte i holding i %
//   251 hostile:<how>         answers "buffer" with a descriptor that is not as agreed (see below),
//                         then waits to be killed
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/worker/shared_buffer.h"
#include "platform/worker/worker_channel.h"
#include "platform/worker/worker_frame.h"

namespace {

using worker::WorkerChannel;

constexpr int kChannel = 3;

void answer(WorkerChannel& channel, const std::string& text) {
  channel.send({reinterpret_cast<const uint8_t*>(text.data()), text.size()});
}

// Writes `bytes` to the channel with `descriptors` beside the first of them, as no well-behaved
// worker would.
void sendRaw(const std::vector<uint8_t>& bytes, const std::vector<int>& descriptors) {
  iovec data{const_cast<uint8_t*>(bytes.data()), bytes.size()};
  std::vector<char> control(CMSG_SPACE(sizeof(int) * descriptors.size()));
  msghdr header{};
  header.msg_iov = &data;
  header.msg_iovlen = 1;
  if (!descriptors.empty()) {
    header.msg_control = control.data();
    header.msg_controllen = control.size();
    cmsghdr* rights = CMSG_FIRSTHDR(&header);
    rights->cmsg_level = SOL_SOCKET;
    rights->cmsg_type = SCM_RIGHTS;
    rights->cmsg_len = CMSG_LEN(sizeof(int) * descriptors.size());
    std::memcpy(CMSG_DATA(rights), descriptors.data(), sizeof(int) * descriptors.size());
  }
  [[maybe_unused]] ssize_t sent = ::sendmsg(kChannel, &header, MSG_NOSIGNAL);
}

int memoryFile(size_t bytes, bool sealed) {
  int fd = ::memfd_create("probe", MFD_ALLOW_SEALING);
  [[maybe_unused]] int sized = ::ftruncate(fd, static_cast<off_t>(bytes));
  if (sealed) ::fcntl(fd, F_ADD_SEALS, F_SEAL_GROW | F_SEAL_SHRINK);
  return fd;
}

// The message "buffer" with a descriptor that is not as agreed:
//   wrongsize      a sealed memory file of 4096 bytes announced as 8192
//   unsealed       a memory file that may still shrink
//   pipe           a pipe's end
//   twodescriptors two sealed memory files
//   plainmessage   a sealed memory file beside a message that announces no buffer
//   midsend        a good buffer's header, and no message after it
void sendHostile(const std::string& how) {
  const std::vector<uint8_t> text = {'b', 'u', 'f', 'f', 'e', 'r'};
  auto framed = [&](std::vector<uint8_t> header) {
    header.insert(header.end(), text.begin(), text.end());
    return header;
  };
  if (how == "wrongsize") {
    sendRaw(framed(worker::bufferFrameHeader(text.size(), 8192)), {memoryFile(4096, true)});
  } else if (how == "unsealed") {
    sendRaw(framed(worker::bufferFrameHeader(text.size(), 4096)), {memoryFile(4096, false)});
  } else if (how == "pipe") {
    int ends[2];
    [[maybe_unused]] int made = ::pipe(ends);
    sendRaw(framed(worker::bufferFrameHeader(text.size(), 4096)), {ends[0]});
  } else if (how == "twodescriptors") {
    sendRaw(framed(worker::bufferFrameHeader(text.size(), 4096)),
            {memoryFile(4096, true), memoryFile(4096, true)});
  } else if (how == "plainmessage") {
    sendRaw(framed(worker::frameHeader(text.size())), {memoryFile(4096, true)});
  } else if (how == "midsend") {
    sendRaw(worker::bufferFrameHeader(text.size(), 4096), {memoryFile(4096, true)});
  }
}

}  // namespace

int main(int argc, char** argv) {
  WorkerChannel channel = WorkerChannel::adopt(argc, argv);
  const std::vector<uint8_t> bufferText = {'b', 'u', 'f', 'f', 'e', 'r'};
  std::optional<worker::SharedBuffer> kept;  // the last buffer made
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
    } else if (command.starts_with("buffer:")) {
      kept = worker::SharedBuffer::create(std::strtoul(command.c_str() + 7, nullptr, 10));
      if (!kept) return 4;
      auto bytes = kept->bytes();
      for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i % 251);
      channel.send(bufferText, *kept);
    } else if (command.starts_with("refill:") && kept) {
      std::memset(kept->bytes().data(), std::atoi(command.c_str() + 7), kept->bytes().size());
      channel.send(bufferText, *kept);
    } else if (command.starts_with("hostile:")) {
      sendHostile(command.substr(8));
      pause();
    } else if (command.starts_with("exit:")) {
      return std::atoi(command.c_str() + 5);
    }
  }
  return 0;
}
