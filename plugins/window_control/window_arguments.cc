#include "plugins/window_control/window_arguments.h"

#include <string>

namespace window_control {
namespace {

std::string mustBe(std::string_view key, std::string_view requirement) {
  return "Argument '" + std::string(key) + "' must be " + std::string(requirement);
}

}  // namespace

WindowArguments::WindowArguments(const flutter::Value& arguments)
    : args(arguments), errors({.code = kInvalidArgumentsCode, .wrong = &mustBe}) {}

}  // namespace window_control
