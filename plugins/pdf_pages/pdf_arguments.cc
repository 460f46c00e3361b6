#include "plugins/pdf_pages/pdf_arguments.h"

#include "plugins/pdf_pages/pdf_errors.h"

namespace pdf_pages {
namespace {

std::string nameKey(std::string_view key) { return "\"" + std::string(key) + "\""; }

}  // namespace

PdfArguments::PdfArguments(const flutter::Value& arguments)
    : flutter::ArgumentReader(arguments, {.code = kInvalidArgumentsCode,
                                          .nameKey = &nameKey,
                                          .notAMap = "The arguments must be a map",
                                          .nullIsAbsent = false,
                                          .missingSaysMissing = true}) {}

std::optional<std::string> PdfArguments::asString() const {
  return wholeString("The arguments must be a document id (a string)");
}

}  // namespace pdf_pages
