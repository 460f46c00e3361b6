// The parts of a Pigeon message channel's name: "dev.flutter.pigeon.<package>.<API>.<operation>".
#pragma once

#include <string>

namespace channel_fuzzer {

bool isMessageChannel(const std::string& channel);
// "<operation>"; empty when the name has fewer parts.
std::string operationOf(const std::string& channel);
// "dev.flutter.pigeon.<package>.<API>": the key under which the API's objects are kept.
std::string apiOf(const std::string& channel);
// "<API>".
std::string apiNameOf(const std::string& channel);
// "dev.flutter.pigeon.<package>.": what an API's name follows in its objects' key.
std::string classPrefixOf(const std::string& channel);

}  // namespace channel_fuzzer
