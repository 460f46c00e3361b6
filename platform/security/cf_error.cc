#include "platform/security/cf_error.h"

CFErrorRef CFErrorCreate(const std::string& domain, int64_t code, CFDictionary userInfo) {
  return std::make_shared<const CFError>(domain, code, std::move(userInfo));
}

std::string CFErrorGetDomain(const CFErrorRef& error) { return error ? error->domain() : ""; }

int64_t CFErrorGetCode(const CFErrorRef& error) { return error ? error->code() : 0; }

std::string CFErrorCopyDescription(const CFErrorRef& error) {
  if (!error) return "";
  if (auto* description = error->userInfo().find(kCFErrorLocalizedDescriptionKey)) {
    if (auto* text = description->asString()) return *text;
  }
  return "The operation couldn't be completed. (" + error->domain() + " error " +
         std::to_string(error->code()) + ".)";
}
