#include "tools/channel_fuzzer/channel_names.h"

namespace channel_fuzzer {
namespace {

// Where part `index` (from 0) of the dotted name starts; npos past the last.
size_t partStart(const std::string& channel, int index) {
  size_t start = 0;
  for (int dots = 0; dots < index; ++dots) {
    start = channel.find('.', start);
    if (start == std::string::npos) return start;
    ++start;
  }
  return start;
}

std::string part(const std::string& channel, int index) {
  size_t start = partStart(channel, index);
  if (start == std::string::npos) return {};
  return channel.substr(start, channel.find('.', start) - start);
}

}  // namespace

bool isMessageChannel(const std::string& channel) {
  return channel.rfind("dev.flutter.pigeon.", 0) == 0;
}

std::string operationOf(const std::string& channel) { return part(channel, 5); }

std::string apiOf(const std::string& channel) {
  size_t end = partStart(channel, 5);
  return end == std::string::npos ? channel : channel.substr(0, end - 1);
}

std::string apiNameOf(const std::string& channel) { return part(channel, 4); }

std::string classPrefixOf(const std::string& channel) {
  size_t end = partStart(channel, 4);
  return end == std::string::npos ? channel : channel.substr(0, end);
}

}  // namespace channel_fuzzer
