// The check that a plug-in whose page names its message channels' operations by API
// ("<API>.<operation>") names every operation it registers, and nothing else.
#pragma once

#include <string>
#include <vector>

namespace channel_fuzzer {

// Whether the pages match `channels`; each mismatch is a line on standard error.
bool shapesMatchChannels(const std::vector<std::string>& channels);

}  // namespace channel_fuzzer
