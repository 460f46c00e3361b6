// The little this web view reads of an HTML page: its title and its inline scripts. Reading costs
// time in proportion to the page, so it is done off the main thread.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace webkit {

struct HTMLDocument {
  // The text of the first <title> element, whitespace collapsed and basic entities decoded, cut
  // to the longest title a web view keeps; none without one.
  std::optional<std::string> title;
  // The bodies of the <script> elements that hold classic JavaScript (no type, or a JavaScript
  // type, and no src attribute), in document order.
  std::vector<std::string> scripts;
};

HTMLDocument readHTMLDocument(std::string_view html);

}  // namespace webkit
