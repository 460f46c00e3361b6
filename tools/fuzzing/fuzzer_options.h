// A fuzzer's command line: "--name value" options and "--name" flags, each bound to a variable the
// fuzzer owns and keeps its default in. A value an option does not take (a count that is not a
// whole number, a negative time) is refused, as is an unknown option or one without its value:
// a typo must not turn into a run without a limit.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace fuzzing {

class FuzzerOptions {
 public:
  void flag(std::string name, bool& value);
  void text(std::string name, std::string& value);
  // A whole number.
  void count(std::string name, size_t& value);
  // A finite number of seconds, 0 or more.
  void seconds(std::string name, double& value);
  // A whole number of milliseconds.
  void milliseconds(std::string name, std::chrono::milliseconds& value);
  // A whole number, or "random" for one drawn from the system (print it, to rerun with).
  void seed(std::string name, uint64_t& value);

  // Reads argv[1..argc) into the bound variables. False, after a line on standard error, on the
  // first option that is unknown, lacks its value, or has a value it does not take.
  bool parse(int argc, const char* const* argv) const;

 private:
  struct Option {
    std::string name;
    bool takes_value = true;
    std::string what;  // what its value must be, for the error
    std::function<bool(const std::string&)> set;
  };

  std::vector<Option> options_;
};

}  // namespace fuzzing
