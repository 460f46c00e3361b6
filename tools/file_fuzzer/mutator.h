// Mutations of a file's bytes for the file fuzzer: bit and byte changes, numbers written as text
// or as binary integers replaced by edges, ranges erased, repeated or inserted, the format's own
// tokens inserted, and two inputs spliced.
#pragma once

#include <random>
#include <string>
#include <vector>

namespace file_fuzzer {

class Mutator {
 public:
  // `tokens` are words of the format (keywords, markers, operators).
  Mutator(std::mt19937_64& random, std::vector<std::string> tokens, size_t maxBytes)
      : random_(random), tokens_(std::move(tokens)), max_bytes_(maxBytes) {}

  // `input` changed one to eight times; `others` may be spliced in.
  std::string mutate(std::string input, const std::vector<std::string>& others);

 private:
  size_t below(size_t bound) { return bound == 0 ? 0 : static_cast<size_t>(random_() % bound); }
  void mutateOnce(std::string& input, const std::vector<std::string>& others);
  void replaceTextNumber(std::string& input);
  void overwriteBinaryInteger(std::string& input);

  std::mt19937_64& random_;
  std::vector<std::string> tokens_;
  size_t max_bytes_;
};

}  // namespace file_fuzzer
