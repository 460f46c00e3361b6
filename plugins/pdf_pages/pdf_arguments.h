// Reads the arguments of a "pdf_pages" call: a string-keyed map whose required entries are each of
// exactly the type named, or (for the size and close calls) a document id. Each required read
// answers the value, or nullopt after keeping the error to answer; the first problem is reported.
#pragma once

#include <optional>
#include <string>

#include "platform/flutter/argument_reader.h"

namespace pdf_pages {

class PdfArguments : public flutter::ArgumentReader {
 public:
  // `arguments` must outlive the reader.
  explicit PdfArguments(const flutter::Value& arguments);

  // The arguments themselves as a document id.
  std::optional<std::string> asString() const;
};

}  // namespace pdf_pages
