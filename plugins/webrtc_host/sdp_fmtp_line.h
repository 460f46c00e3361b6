// Codec parameters as one SDP format-parameter line: "key=value" pairs joined by ";".
#pragma once

#include <map>
#include <string>

namespace webrtc_host {

// Pairs in the dictionary's order; a pair with an empty key is written as its value alone.
std::string fmtpLineFromParameters(const std::map<std::string, std::string>& parameters);
// A piece without "=" is a value under the empty key; a piece with more than one "=" is ignored;
// a later key overwrites an earlier one.
std::map<std::string, std::string> parametersFromFmtpLine(const std::string& line);

}  // namespace webrtc_host
