#include "platform/webkit/content_process/content_protocol.h"

namespace webkit::content {

void cutTitle(std::string& title) {
  if (title.size() <= kMaxTitleBytes) return;
  size_t end = kMaxTitleBytes;
  // Back to the first byte of the character the limit falls in.
  while (end > 0 && (static_cast<unsigned char>(title[end]) & 0xC0) == 0x80) --end;
  title.resize(end);
  title.shrink_to_fit();
}

}  // namespace webkit::content
