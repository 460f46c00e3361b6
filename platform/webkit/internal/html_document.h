// The little this web view reads of an HTML page: its title and its inline scripts, found as
// HTML's tokenizer finds them (html_tokenizer.h), outside template contents, with SVG and MathML
// read as foreign content (foreign_content.h). Reading costs time
// in proportion to the page (each byte is looked at a bounded number of times, whatever the page
// holds), so it is done off the main thread, and it stops early once its load has ended.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/webkit/internal/reading_stop.h"

namespace webkit {

struct HTMLDocument {
  // The text of the first <title> element as document.title gives it (character references
  // decoded, whitespace collapsed), cut to the longest title a web view keeps; none without one.
  // A title whose end tag never comes runs to the end of the page.
  std::optional<std::string> title;
  // The bodies of the <script> elements that hold classic JavaScript (no type, or a JavaScript
  // type, and no src attribute), in document order.
  std::vector<std::string> scripts;
};

// Whether the page runs scripts: without, a <noscript> element's content is markup.
enum class Scripting { enabled, disabled };

// An empty document when `stop` is set before the reading ends.
HTMLDocument readHTMLDocument(std::string_view html, const ReadingStop* stop = nullptr,
                              Scripting scripting = Scripting::enabled);

}  // namespace webkit
