// The property-list reader of information dictionaries and user defaults: parsed, and when it
// is a property list, written in both formats, each of which must read back.
#include <cstdio>
#include <cstdlib>
#include <span>

#include "platform/foundation/property_list.h"
#include "tools/file_fuzzer/targets.h"

namespace file_fuzzer {

bool readPropertyList(const std::string& bytes) {
  auto parsed =
      PropertyList::parse(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()));
  if (!parsed) return false;
  for (auto format : {PropertyList::Format::xml, PropertyList::Format::binary}) {
    auto written = parsed->serialize(format);
    if (written.empty()) continue;  // past the size limit: nothing is written
    if (!PropertyList::parse(written)) {
      // What the host wrote it must read: a preferences file would be set aside as corrupt.
      std::fprintf(stderr, "file_fuzzer: a property list written as %s does not read back\n",
                   format == PropertyList::Format::xml ? "XML" : "binary");
      std::abort();
    }
  }
  return true;
}

}  // namespace file_fuzzer
