#include "plugins/pdf_pages/pdf_arguments.h"

#include "plugins/pdf_pages/pdf_errors.h"

namespace pdf_pages {
namespace {

std::string missing(std::string_view key) { return "\"" + std::string(key) + "\" is missing"; }

}  // namespace

flutter::ArgumentReader pdfArgumentReader(const flutter::Value& arguments) {
  return flutter::ArgumentReader(arguments, flutter::NullEntry::kValue);
}

flutter::ArgumentErrors pdfArgumentErrors() {
  return flutter::ArgumentErrors({.code = kInvalidArgumentsCode,
                                  .wrong = &flutter::quotedKeyMustBe,
                                  .missing = &missing,
                                  .notAMap = "The arguments must be a map"});
}

std::optional<std::string> documentIdArgument(const flutter::ArgumentReader& args,
                                              flutter::ArgumentErrors& errors) {
  return args.wholeString(errors, "The arguments must be a document id (a string)");
}

}  // namespace pdf_pages
