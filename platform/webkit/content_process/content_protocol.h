// The messages between a web view and its content process, in the workers' one encoding
// (platform/worker/message_codec.h): a kind byte, then fields. Strings are UTF-8; script values
// are trees of a tag byte and its contents (undefined, null, booleans, numbers, strings, arrays,
// dictionaries with string keys).
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>

#include "platform/webkit/content_process/content_limits.h"
#include "platform/worker/message_codec.h"

namespace webkit::content {

enum class Kind : uint8_t {
  // To the content process. Each request but kAck is answered before the next is sent.
  kLoadPage = 1,    // budget, title?, handler names, scripts: a fresh page, then its scripts
  kRunScripts = 2,  // budget, handler names, scripts: more scripts in the current page
  kEvaluate = 3,    // budget, handler names, script: answered with kResult
  kAck = 4,         // bytes of posted messages the host has let go of
  kRaiseFatal = 5,  // a test's: the engine's fatal error inside a protected call
  // From the content process.
  kReady = 10,
  kTitle = 11,        // the page's title, coalesced: sent before a post and before an answer
  kPost = 12,         // handler name, body value
  kResult = 13,       // value, or error code and message
  kScriptsDone = 14,  // CPU nanoseconds the scripts took, then their failures as log texts
};

enum class ValueTag : uint8_t {
  kUndefined = 0,
  kNull = 1,
  kFalse = 2,
  kTrue = 3,
  kInteger = 4,
  kDouble = 5,
  kString = 6,
  kArray = 7,
  kDictionary = 8,
};

// The content protocol's names for the workers' one codec (platform/worker/message_codec.h).
using ProtocolWriter = worker::MessageWriter;
using ProtocolReader = worker::MessageReader;

// A message of `kind`, its fields to follow.
inline ProtocolWriter messageOf(Kind kind) {
  ProtocolWriter out;
  out.byte(static_cast<uint8_t>(kind));
  return out;
}

// Cuts `title` to kMaxTitleBytes, at a character boundary.
void cutTitle(std::string& title);

// How long a request may run, as sent.
inline uint32_t budgetMilliseconds(long long milliseconds) {
  return static_cast<uint32_t>(
      std::max<long long>(0, std::min<long long>(milliseconds, 0xFFFFFFFFLL)));
}

}  // namespace webkit::content
