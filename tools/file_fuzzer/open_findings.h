// Inputs the file fuzzer does not read, each with its reason: open findings in other areas, until
// they are mended. Empty this as fixes land; each finding is described in full where the team
// collects them.
#pragma once

#include <string>

namespace file_fuzzer {

struct OpenFinding {
  const char* target;
  const char* reason;
  bool (*matches)(const std::string& input);
};

inline constexpr OpenFinding kOpenFindings[] = {
    {"", "placeholder so that the table is never empty; matches nothing",
     [](const std::string&) { return false; }},
};

// The first open finding of `target` that `input` would run into, or null.
inline const OpenFinding* openFindingFor(const std::string& target, const std::string& input) {
  for (const auto& finding : kOpenFindings) {
    if (target == finding.target && finding.matches(input)) return &finding;
  }
  return nullptr;
}

}  // namespace file_fuzzer
