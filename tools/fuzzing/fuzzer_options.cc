#include "tools/fuzzing/fuzzer_options.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>

namespace fuzzing {
namespace {

bool readWholeNumber(const std::string& text, uint64_t& number) {
  if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos) return false;
  errno = 0;
  number = std::strtoull(text.c_str(), nullptr, 10);
  return errno == 0;
}

}  // namespace

void FuzzerOptions::flag(std::string name, bool& value) {
  options_.push_back({std::move(name), false, "", [&value](const std::string&) {
                        value = true;
                        return true;
                      }});
}

void FuzzerOptions::text(std::string name, std::string& value) {
  options_.push_back({std::move(name), true, "a text", [&value](const std::string& text) {
                        value = text;
                        return true;
                      }});
}

void FuzzerOptions::count(std::string name, size_t& value) {
  options_.push_back({std::move(name), true, "a whole number", [&value](const std::string& text) {
                        uint64_t number = 0;
                        if (!readWholeNumber(text, number) || number > SIZE_MAX) return false;
                        value = static_cast<size_t>(number);
                        return true;
                      }});
}

void FuzzerOptions::seconds(std::string name, double& value) {
  options_.push_back(
      {std::move(name), true, "a number of seconds, 0 or more", [&value](const std::string& text) {
         char* end = nullptr;
         const double number = std::strtod(text.c_str(), &end);
         if (text.empty() || *end != '\0' || !std::isfinite(number) || number < 0) {
           return false;
         }
         value = number;
         return true;
       }});
}

void FuzzerOptions::milliseconds(std::string name, std::chrono::milliseconds& value) {
  options_.push_back(
      {std::move(name), true, "a whole number of milliseconds", [&value](const std::string& text) {
         uint64_t number = 0;
         if (!readWholeNumber(text, number) ||
             number > static_cast<uint64_t>(std::chrono::milliseconds::max().count())) {
           return false;
         }
         value = std::chrono::milliseconds(static_cast<int64_t>(number));
         return true;
       }});
}

void FuzzerOptions::seed(std::string name, uint64_t& value) {
  options_.push_back(
      {std::move(name), true, "a whole number or \"random\"", [&value](const std::string& text) {
         if (text == "random") {
           value = std::random_device()() * 65537ull + std::random_device()();
           return true;
         }
         uint64_t number = 0;
         if (!readWholeNumber(text, number)) return false;
         value = number;
         return true;
       }});
}

bool FuzzerOptions::parse(int argc, const char* const* argv) const {
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const Option* option = nullptr;
    for (const auto& candidate : options_) {
      if (candidate.name == argument) option = &candidate;
    }
    if (option == nullptr) {
      std::fprintf(stderr, "unknown option: %s\n", argument.c_str());
      return false;
    }
    if (!option->takes_value) {
      option->set("");
      continue;
    }
    if (i + 1 >= argc) {
      std::fprintf(stderr, "incomplete option: %s\n", argument.c_str());
      return false;
    }
    const std::string value = argv[++i];
    if (!option->set(value)) {
      std::fprintf(stderr, "%s takes %s, not '%s'\n", argument.c_str(), option->what.c_str(),
                   value.c_str());
      return false;
    }
  }
  return true;
}

}  // namespace fuzzing
