// A URL object. Only what travels with WebKit's objects is modelled: its absolute text.
#pragma once

#include <string>

#include "platform/webkit/ns_object.h"

namespace foundation {

class NSURL : public NSObject {
 public:
  explicit NSURL(std::string absoluteString) : absolute_string_(std::move(absoluteString)) {}

  const std::string& absoluteString() const { return absolute_string_; }

 private:
  std::string absolute_string_;
};

}  // namespace foundation
