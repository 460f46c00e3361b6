#include "platform/webkit/internal/html_document.h"

#include <algorithm>
#include <cctype>
#include <utility>

namespace webkit {
namespace {

std::string lowered(const std::string& text) {
  std::string lower = text;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower;
}

// The element `tag` found from `from` in `lower` (the page in lower case): its attributes' text
// and its body's range. nullopt when there is no complete element.
struct Element {
  std::string attributes;
  size_t bodyStart;
  size_t bodyEnd;
  size_t next;
};
std::optional<Element> findElement(const std::string& lower, const std::string& tag, size_t from) {
  std::string open = "<" + tag;
  for (size_t at = lower.find(open, from); at != std::string::npos;
       at = lower.find(open, at + 1)) {
    size_t after = at + open.size();
    if (after < lower.size() && std::isalnum(static_cast<unsigned char>(lower[after]))) continue;
    size_t close = lower.find('>', after);
    if (close == std::string::npos) return std::nullopt;
    size_t end = lower.find("</" + tag, close + 1);
    if (end == std::string::npos) return std::nullopt;
    return Element{lower.substr(after, close - after), close + 1, end, end + tag.size() + 2};
  }
  return std::nullopt;
}

std::string decodeEntities(const std::string& text) {
  static const std::pair<const char*, const char*> kEntities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
  std::string out;
  for (size_t i = 0; i < text.size();) {
    bool replaced = false;
    for (const auto& [entity, character] : kEntities) {
      std::string_view name(entity);
      if (text.compare(i, name.size(), name) == 0) {
        out += character;
        i += name.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out.push_back(text[i++]);
  }
  return out;
}

std::string collapseWhitespace(const std::string& text) {
  std::string out;
  bool space = false;
  for (char c : text) {
    if (std::isspace(static_cast<unsigned char>(c))) {
      space = !out.empty();
    } else {
      if (space) out.push_back(' ');
      space = false;
      out.push_back(c);
    }
  }
  return out;
}

}  // namespace

std::optional<std::string> documentTitle(const std::string& html) {
  auto element = findElement(lowered(html), "title", 0);
  if (!element) return std::nullopt;
  return decodeEntities(
      collapseWhitespace(html.substr(element->bodyStart, element->bodyEnd - element->bodyStart)));
}

std::vector<std::string> inlineScripts(const std::string& html) {
  std::string lower = lowered(html);
  std::vector<std::string> scripts;
  for (auto element = findElement(lower, "script", 0); element;
       element = findElement(lower, "script", element->next)) {
    if (element->attributes.find("src") != std::string::npos) continue;
    scripts.push_back(html.substr(element->bodyStart, element->bodyEnd - element->bodyStart));
  }
  return scripts;
}

}  // namespace webkit
