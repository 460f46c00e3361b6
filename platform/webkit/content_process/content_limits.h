// What a web view and its content process agree on.
#pragma once

#include <cstddef>

namespace webkit::content {

// The file name of the content process's executable, next to the host's.
inline constexpr const char* kContentProcessExecutable = "web_content";
// The longest message either way: a result, a message body or a script with its request.
inline constexpr size_t kMaxMessageBytes = size_t{64} << 20;
// Room in a message for what goes with a value (kind, names, lengths).
inline constexpr size_t kMessageOverheadBytes = size_t{1} << 16;
// Posted messages the host may hold for a page at once (its queue and the objects it handed on);
// past this a page's postMessage waits for the host to let go of earlier ones.
inline constexpr size_t kPostedBytesLimit = size_t{64} << 20;
// What a held message costs the host besides its bytes: the message object, its announcement,
// its instance-manager entries and its pending calls to the Dart side (measured at about 3 KiB
// in the running host), counted against kPostedBytesLimit with each message.
inline constexpr size_t kHeldMessageOverheadBytes = 4096;
// The longest title a page has in its web view, in UTF-8 bytes; a longer one is cut there.
inline constexpr size_t kMaxTitleBytes = 4096;
// A page load's scripts that fail are each reported up to this many; the rest in one line.
inline constexpr size_t kMaxReportedScriptFailures = 64;
// Results and message bodies of more values than this are refused as too large to hand over.
inline constexpr size_t kMaxScriptValues = 1'000'000;
// The most memory a content process may take: the page's heap (64 MiB), two messages in
// flight, the script stack and the runtime.
inline constexpr size_t kContentProcessMemoryBytes = size_t{1} << 30;

}  // namespace webkit::content
