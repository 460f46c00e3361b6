// Bytes as lower-case hexadecimal, for the fuzzer's reports.
#pragma once

#include <cstddef>
#include <string>

#include "tools/channel_fuzzer/answer_reader.h"

namespace channel_fuzzer {

// The first `limit` bytes, then the whole size when there are more.
std::string hex(const Bytes& bytes, size_t limit = 512);

}  // namespace channel_fuzzer
