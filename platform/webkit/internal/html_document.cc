#include "platform/webkit/internal/html_document.h"

#include <cctype>
#include <utility>

#include "platform/webkit/content_process/content_protocol.h"

namespace webkit {
namespace {

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = asciiLower(c);
  return lower;
}

// Where `needle` (lower case, starting with '<') is in `page` from `from`, ignoring ASCII case.
// The page is never copied: a large one is scanned for '<' alone.
size_t findTag(std::string_view page, std::string_view needle, size_t from) {
  for (size_t at = page.find('<', from); at != std::string_view::npos;
       at = page.find('<', at + 1)) {
    if (page.size() - at < needle.size()) return std::string_view::npos;
    size_t i = 1;
    while (i < needle.size() && asciiLower(page[at + i]) == needle[i]) ++i;
    if (i == needle.size()) return at;
  }
  return std::string_view::npos;
}

// The element `tag` found from `from` in `page`: its attributes' text (in lower case) and its
// body's range. nullopt when there is no complete element.
struct Element {
  std::string attributes;
  size_t bodyStart;
  size_t bodyEnd;
  size_t next;
};
std::optional<Element> findElement(std::string_view page, const std::string& tag, size_t from) {
  std::string open = "<" + tag;
  for (size_t at = findTag(page, open, from); at != std::string_view::npos;
       at = findTag(page, open, at + 1)) {
    size_t after = at + open.size();
    if (after < page.size() && std::isalnum(static_cast<unsigned char>(page[after]))) continue;
    size_t close = page.find('>', after);
    if (close == std::string_view::npos) return std::nullopt;
    size_t end = findTag(page, "</" + tag, close + 1);
    if (end == std::string_view::npos) return std::nullopt;
    return Element{lowered(page.substr(after, close - after)), close + 1, end,
                   end + tag.size() + 2};
  }
  return std::nullopt;
}

// The title's text with runs of whitespace made one space (none at either end) and the basic
// entities decoded, in one pass that stops once the title is as long as a title may be.
std::string titleText(std::string_view text) {
  static const std::pair<std::string_view, char> kEntities[] = {
      {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}, {"&#39;", '\''}, {"&amp;", '&'}};
  std::string out;
  bool space = false;
  for (size_t i = 0; i < text.size() && out.size() <= content::kMaxTitleBytes;) {
    char c = text[i];
    if (std::isspace(static_cast<unsigned char>(c))) {
      space = !out.empty();
      ++i;
      continue;
    }
    if (space) out.push_back(' ');
    space = false;
    if (c == '&') {
      bool decoded = false;
      for (const auto& [entity, character] : kEntities) {
        if (text.substr(i, entity.size()) == entity) {
          out.push_back(character);
          i += entity.size();
          decoded = true;
          break;
        }
      }
      if (decoded) continue;
    }
    out.push_back(c);
    ++i;
  }
  content::cutTitle(out);
  return out;
}

}  // namespace

HTMLDocument readHTMLDocument(std::string_view html) {
  HTMLDocument document;
  if (auto element = findElement(html, "title", 0)) {
    document.title =
        titleText(html.substr(element->bodyStart, element->bodyEnd - element->bodyStart));
  }
  for (auto element = findElement(html, "script", 0); element;
       element = findElement(html, "script", element->next)) {
    if (element->attributes.find("src") != std::string::npos) continue;
    document.scripts.emplace_back(
        html.substr(element->bodyStart, element->bodyEnd - element->bodyStart));
  }
  return document;
}

}  // namespace webkit
