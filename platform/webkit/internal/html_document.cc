#include "platform/webkit/internal/html_document.h"

#include <cctype>
#include <iterator>
#include <utility>

#include "platform/foundation/utf8.h"
#include "platform/webkit/content_process/content_protocol.h"
#include "platform/webkit/internal/character_reference.h"
#include "platform/webkit/internal/text_encoding.h"

namespace webkit {
namespace {

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = asciiLower(c);
  return lower;
}

// Where `needle` (lower case, starting with '<') is in `page` from `from`, ignoring ASCII case.
// The page is never copied: a large one is scanned for '<' alone. npos too once `stop` is set.
size_t findTag(std::string_view page, std::string_view needle, size_t from,
               const ReadingStop* stop) {
  for (size_t at = page.find('<', from); at != std::string_view::npos;
       at = page.find('<', at + 1)) {
    if (stop != nullptr && stop->stopped()) return std::string_view::npos;
    if (page.size() - at < needle.size()) return std::string_view::npos;
    size_t i = 1;
    while (i < needle.size() && asciiLower(page[at + i]) == needle[i]) ++i;
    if (i == needle.size()) return at;
  }
  return std::string_view::npos;
}

bool isTagSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// The attributes a start tag is read for; the others are passed over.
constexpr std::string_view kReadAttributes[] = {"src", "type", "language"};

// An element's start tag, read from just after its name: the first value of each attribute this
// reader looks at (names without regard to case), and where the tag ends. A quoted value may hold
// '>'. Only those few are kept, so a tag of any number of attributes is read in one pass.
struct StartTag {
  std::optional<std::string> values[std::size(kReadAttributes)];
  size_t end = 0;  // just past the '>'

  const std::string* attribute(std::string_view name) const {
    for (size_t i = 0; i < std::size(kReadAttributes); ++i) {
      if (kReadAttributes[i] == name) return values[i] ? &*values[i] : nullptr;
    }
    return nullptr;
  }
};

bool sameLowered(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (asciiLower(text[i]) != lower[i]) return false;
  }
  return true;
}

std::optional<StartTag> readStartTag(std::string_view page, size_t at, const ReadingStop* stop) {
  StartTag tag;
  while (at < page.size()) {
    if (stop != nullptr && stop->stopped()) return std::nullopt;
    char c = page[at];
    if (c == '>') {
      tag.end = at + 1;
      return tag;
    }
    if (isTagSpace(c) || c == '/') {
      ++at;
      continue;
    }
    size_t name_start = at;
    while (at < page.size() && !isTagSpace(page[at]) && page[at] != '/' && page[at] != '>' &&
           (page[at] != '=' || at == name_start)) {
      ++at;
    }
    std::string_view name = page.substr(name_start, at - name_start);
    while (at < page.size() && isTagSpace(page[at])) ++at;
    std::string_view value;
    if (at < page.size() && page[at] == '=') {
      ++at;
      while (at < page.size() && isTagSpace(page[at])) ++at;
      if (at < page.size() && (page[at] == '"' || page[at] == '\'')) {
        size_t close = page.find(page[at], at + 1);
        if (close == std::string_view::npos) return std::nullopt;
        value = page.substr(at + 1, close - at - 1);
        at = close + 1;
      } else {
        size_t value_start = at;
        while (at < page.size() && !isTagSpace(page[at]) && page[at] != '>') ++at;
        value = page.substr(value_start, at - value_start);
      }
    }
    for (size_t i = 0; i < std::size(kReadAttributes); ++i) {
      if (!tag.values[i] && sameLowered(name, kReadAttributes[i])) tag.values[i] = value;
    }
  }
  return std::nullopt;
}

// Where the end tag of `tag` is in `page` from `from`: "</" and the name (of any case), then
// whitespace, '/' or '>' (so "</titlex>" ends nothing). npos without one.
size_t findEndTag(std::string_view page, const std::string& tag, size_t from,
                  const ReadingStop* stop) {
  const std::string close = "</" + tag;
  for (size_t at = findTag(page, close, from, stop); at != std::string_view::npos;
       at = findTag(page, close, at + 1, stop)) {
    size_t after = at + close.size();
    if (after < page.size() && (isTagSpace(page[after]) || page[after] == '/' ||
                                page[after] == '>')) {
      return at;
    }
  }
  return std::string_view::npos;
}

// How an element whose end tag never comes is read: a title's text runs to the end of the page,
// as the tokenizer reads it; a script that never ends does not run.
enum class Unclosed { endsWithThePage, isNoElement };

// The element `tag` found from `from` in `page`: its start tag and its body's range. nullopt
// when there is no complete element.
struct Element {
  StartTag start;
  size_t bodyStart;
  size_t bodyEnd;
  size_t next;
};
std::optional<Element> findElement(std::string_view page, const std::string& tag, size_t from,
                                   Unclosed unclosed, const ReadingStop* stop) {
  std::string open = "<" + tag;
  for (size_t at = findTag(page, open, from, stop); at != std::string_view::npos;
       at = findTag(page, open, at + 1, stop)) {
    size_t after = at + open.size();
    if (after < page.size() && std::isalnum(static_cast<unsigned char>(page[after]))) continue;
    auto start = readStartTag(page, after, stop);
    if (!start) return std::nullopt;
    size_t body_start = start->end;
    size_t end = findEndTag(page, tag, body_start, stop);
    if (end == std::string_view::npos) {
      if (unclosed == Unclosed::isNoElement || (stop != nullptr && stop->stopped())) {
        return std::nullopt;
      }
      return Element{std::move(*start), body_start, page.size(), page.size()};
    }
    return Element{std::move(*start), body_start, end, end + tag.size() + 2};
  }
  return std::nullopt;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isTagSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isTagSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Whether a <script> element holds a classic script this page runs: one without a type (or with
// an empty one), or of a JavaScript type, given by its type or its language. Modules, data
// blocks and other languages do not run, nor does the text of one that names its source.
bool runsAsJavaScript(const StartTag& tag) {
  static const std::string_view kJavaScriptTypes[] = {"application/ecmascript",
                                                      "application/javascript",
                                                      "application/x-ecmascript",
                                                      "application/x-javascript",
                                                      "text/ecmascript",
                                                      "text/javascript",
                                                      "text/javascript1.0",
                                                      "text/javascript1.1",
                                                      "text/javascript1.2",
                                                      "text/javascript1.3",
                                                      "text/javascript1.4",
                                                      "text/javascript1.5",
                                                      "text/jscript",
                                                      "text/livescript",
                                                      "text/x-ecmascript",
                                                      "text/x-javascript"};
  if (tag.attribute("src")) return false;
  std::string type;
  if (const auto* given = tag.attribute("type")) {
    if (given->empty()) return true;
    type = lowered(trimmed(*given));
  } else if (const auto* language = tag.attribute("language"); language && !language->empty()) {
    type = "text/" + lowered(*language);
  } else {
    return true;
  }
  for (auto known : kJavaScriptTypes) {
    if (type == known) return true;
  }
  return false;
}

// The title's text as document.title gives it: character references decoded, a NUL as U+FFFD,
// runs of ASCII whitespace made one space (none at either end); in one pass that stops once the
// title is as long as a title may be.
std::string titleText(std::string_view text, const ReadingStop* stop) {
  std::string out;
  bool space = false;
  auto put = [&](char32_t c) {
    if (c < 0x80 && isTagSpace(static_cast<char>(c))) {
      space = !out.empty();
      return;
    }
    if (space) out.push_back(' ');
    space = false;
    foundation::appendUtf8(out, c);
  };
  constexpr size_t kStopCheckSteps = 4096;
  size_t steps = 0;
  for (size_t i = 0; i < text.size() && out.size() <= content::kMaxTitleBytes;) {
    if (++steps % kStopCheckSteps == 0 && stop != nullptr && stop->stopped()) break;
    const char c = text[i];
    if (c == '&') {
      if (auto reference = readCharacterReference(text, i)) {
        put(reference->codePoint);
        i += reference->length;
        continue;
      }
    }
    if (c == '\0') {
      put(0xFFFD);
    } else if (static_cast<unsigned char>(c) < 0x80) {
      put(static_cast<char32_t>(c));
    } else {
      // A byte of a longer sequence, mended with the rest once the title is read.
      if (space) out.push_back(' ');
      space = false;
      out.push_back(c);
    }
    ++i;
  }
  out = withValidUtf8(out);
  content::cutTitle(out);
  return out;
}

}  // namespace

HTMLDocument readHTMLDocument(std::string_view html, const ReadingStop* stop) {
  HTMLDocument document;
  if (auto element = findElement(html, "title", 0, Unclosed::endsWithThePage, stop)) {
    document.title =
        titleText(html.substr(element->bodyStart, element->bodyEnd - element->bodyStart), stop);
  }
  for (auto element = findElement(html, "script", 0, Unclosed::isNoElement, stop); element;
       element = findElement(html, "script", element->next, Unclosed::isNoElement, stop)) {
    if (!runsAsJavaScript(element->start)) continue;
    document.scripts.emplace_back(
        html.substr(element->bodyStart, element->bodyEnd - element->bodyStart));
  }
  if (stop != nullptr && stop->stopped()) return {};
  return document;
}

}  // namespace webkit
