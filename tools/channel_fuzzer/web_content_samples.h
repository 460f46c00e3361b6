// What the fuzzer hands a web view: pages, scripts and URLs, most of them ordinary and bounded,
// a few hostile (endless loops, deep recursion, huge results, floods of titles and messages),
// and the responses its in-memory network serves for the URLs.
#pragma once

#include <random>
#include <string>
#include <vector>

namespace channel_fuzzer {

// The host of the URLs the fuzzer's network serves.
inline constexpr const char* kServedOrigin = "https://fuzz.test";

// An HTML page; now and then one whose inline scripts are hostile.
std::string samplePage(std::mt19937_64& random);
// A script to evaluate; `hostileShare` of them are hostile.
std::string sampleScript(std::mt19937_64& random, double hostileShare = 0.12);
// A URL: served ones, unknown hosts, other schemes, malformed text.
std::string sampleUrl(std::mt19937_64& random);
// A value for a cookie's property.
std::string sampleCookieValue(std::mt19937_64& random);
// A header field's name.
std::string sampleHeaderName(std::mt19937_64& random);

// Fills the in-memory network with the responses for the URLs above.
void serveSampleResponses();

}  // namespace channel_fuzzer
