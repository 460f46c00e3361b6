#include "plugins/wkwebview_host/web_kit_library/type_names.h"

#include <cxxabi.h>

#include <cstdlib>
#include <memory>

namespace wkwebview_host {

std::string unqualifiedTypeName(const std::type_info& type) {
  int status = 0;
  std::unique_ptr<char, decltype(&std::free)> demangled(
      abi::__cxa_demangle(type.name(), nullptr, nullptr, &status), &std::free);
  std::string name = status == 0 && demangled ? demangled.get() : type.name();
  size_t scope = name.rfind("::");
  return scope == std::string::npos ? name : name.substr(scope + 2);
}

}  // namespace wkwebview_host
