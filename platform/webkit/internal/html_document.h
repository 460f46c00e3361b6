// The little this web view reads of an HTML page: its title and its inline scripts.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace webkit {

// The text of the first <title> element, whitespace collapsed and basic entities decoded; none
// without one.
std::optional<std::string> documentTitle(const std::string& html);
// The bodies of the <script> elements without a src attribute, in document order.
std::vector<std::string> inlineScripts(const std::string& html);

}  // namespace webkit
