#include "plugins/window_control/window_arguments.h"

#include <string>

namespace window_control {
namespace {

std::string nameKey(std::string_view key) { return "Argument '" + std::string(key) + "'"; }

}  // namespace

WindowArguments::WindowArguments(const flutter::Value& arguments)
    : flutter::ArgumentReader(arguments, {.code = kInvalidArgumentsCode,
                                          .nameKey = &nameKey,
                                          .notAMap = {},
                                          .nullIsAbsent = true,
                                          .missingSaysMissing = false}) {}

}  // namespace window_control
