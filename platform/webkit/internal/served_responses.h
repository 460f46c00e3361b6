// The in-memory network that web views load requests from: what a server answers for each URL.
// It is process-wide, as the network is; tests fill it through testing/served_responses_controls.h.
#pragma once

#include <cstdint>
#include <map>
#include <mutex>
#include <optional>
#include <string>

namespace webkit {

struct ServedResponse {
  // Credentials the server asks for before it answers (HTTP basic authentication).
  struct RequiredCredentials {
    std::string realm;
    std::string user;
    std::string password;
  };

  int64_t statusCode = 200;
  std::string mimeType = "text/html";
  std::map<std::string, std::string> headerFields;
  std::string body;
  std::optional<RequiredCredentials> requiredCredentials;
};

class ServedResponses {
 public:
  static ServedResponses& shared();

  // Looked up by the request's absolute URL, without its fragment.
  std::optional<ServedResponse> responseFor(const std::string& url) const;
  void setResponse(const std::string& url, ServedResponse response);
  void removeAll();

 private:
  mutable std::mutex mutex_;
  std::map<std::string, ServedResponse> responses_;
};

}  // namespace webkit
