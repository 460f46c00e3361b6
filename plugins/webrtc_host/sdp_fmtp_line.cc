#include "plugins/webrtc_host/sdp_fmtp_line.h"

#include <vector>

namespace webrtc_host {
namespace {

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (true) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) {
      parts.push_back(text.substr(start));
      return parts;
    }
    parts.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

}  // namespace

std::string fmtpLineFromParameters(const std::map<std::string, std::string>& parameters) {
  std::string line;
  for (const auto& [key, value] : parameters) {
    if (!line.empty()) line += ';';
    line += key.empty() ? value : key + "=" + value;
  }
  return line;
}

std::map<std::string, std::string> parametersFromFmtpLine(const std::string& line) {
  std::map<std::string, std::string> parameters;
  for (const auto& piece : split(line, ';')) {
    auto parts = split(piece, '=');
    if (parts.size() == 2) {
      parameters[parts[0]] = parts[1];
    } else if (parts.size() == 1) {
      parameters[""] = parts[0];
    }
  }
  return parameters;
}

}  // namespace webrtc_host
