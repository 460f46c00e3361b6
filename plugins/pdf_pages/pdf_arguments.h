// How a "pdf_pages" call's arguments are read: a string-keyed map whose required entries are each
// of exactly the type named (null is a value of the wrong type), or, for the size and close calls,
// a document id. The first problem is the one answered.
#pragma once

#include <optional>
#include <string>

#include "platform/flutter/argument_reader.h"

namespace pdf_pages {

// Reads the arguments; `arguments` must outlive the reader.
flutter::ArgumentReader pdfArgumentReader(const flutter::Value& arguments);
// Collects the first problem under "INVALID_ARGUMENTS".
flutter::ArgumentErrors pdfArgumentErrors();

// The arguments themselves as a document id.
std::optional<std::string> documentIdArgument(const flutter::ArgumentReader& args,
                                              flutter::ArgumentErrors& errors);

}  // namespace pdf_pages
