// Type names as the plug-in's diagnostics print them.
#pragma once

#include <string>
#include <typeinfo>

namespace wkwebview_host {

// The type's name without its namespaces, "runtime_error" for std::runtime_error.
std::string unqualifiedTypeName(const std::type_info& type);

}  // namespace wkwebview_host
