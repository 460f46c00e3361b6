#include "platform/webkit/internal/html_document.h"

#include "platform/foundation/utf8.h"
#include "platform/webkit/content_process/content_protocol.h"
#include "platform/webkit/internal/character_reference.h"
#include "platform/webkit/internal/foreign_content.h"
#include "platform/webkit/internal/html_tokenizer.h"
#include "platform/webkit/internal/text_encoding.h"

namespace webkit {
namespace {

using Tag = HTMLTokenizer::Tag;
using TextState = HTMLTokenizer::TextState;

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

std::string lowered(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = asciiLower(c);
  return lower;
}

bool isTagSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }

// The state the tokenizer reads an element's text in, as a page's body switches it; none for an
// element whose content is markup.
std::optional<TextState> textStateOf(std::string_view name, Scripting scripting) {
  if (name == "title" || name == "textarea") return TextState::rcdata;
  if (name == "script") return TextState::scriptData;
  if (name == "plaintext") return TextState::plaintext;
  if (name == "style" || name == "xmp" || name == "iframe" || name == "noembed" ||
      name == "noframes" || (name == "noscript" && scripting == Scripting::enabled)) {
    return TextState::rawtext;
  }
  return std::nullopt;
}

// A script's text as the tokenizer hands it on: a NUL is U+FFFD.
std::string scriptSource(std::string_view text) {
  std::string source;
  source.reserve(text.size());
  for (char c : text) {
    if (c == '\0') {
      source += "\xEF\xBF\xBD";
    } else {
      source.push_back(c);
    }
  }
  return source;
}

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isTagSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && isTagSpace(text.back())) text.remove_suffix(1);
  return text;
}

// Whether a <script> element holds a classic script this page runs: one without a type (or with
// an empty one), or of a JavaScript type, given by its type or its language. Modules, data
// blocks and other languages do not run, nor does the text of one that names its source (an
// SVG script names it with href).
bool runsAsJavaScript(const Tag& tag, bool svg = false) {
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
  if (svg ? tag.attribute("href") || tag.attribute("xlink:href")
          : tag.attribute("src") != nullptr) {
    return false;
  }
  std::string type;
  if (const auto* given = tag.attribute("type")) {
    if (given->empty()) return true;
    type = lowered(trimmed(*given));
  } else if (const auto* language = tag.attribute("language");
             !svg && language && !language->empty()) {
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

HTMLDocument readHTMLDocument(std::string_view html, const ReadingStop* stop, Scripting scripting) {
  HTMLDocument document;
  HTMLTokenizer tokenizer(html, stop);
  ForeignContent foreign([](const Tag& tag) { return runsAsJavaScript(tag, true); });
  // What a template holds is a fragment of its own, not the page's document.
  size_t templates = 0;
  while (true) {
    tokenizer.setForeign(foreign.inForeignNode());
    tokenizer.setTextSink(foreign.svgScriptText());
    auto tag = tokenizer.nextTag();
    if (!tag) break;
    if (tag->isEnd) {
      switch (foreign.endTag(tag->name)) {
        case ForeignContent::Outcome::handled:
          continue;
        case ForeignContent::Outcome::svgScriptEnded: {
          auto script = foreign.takeEndedScript();
          if (templates == 0 && script.runs) document.scripts.push_back(scriptSource(script.text));
          continue;
        }
        case ForeignContent::Outcome::html:
          break;
      }
      if (tag->name == "template" && templates > 0) --templates;
      continue;
    }
    if (foreign.startTag(*tag) == ForeignContent::Outcome::handled) continue;
    if (tag->name == "template") {
      ++templates;
      continue;
    }
    auto state = textStateOf(tag->name, scripting);
    if (!state) {
      foreign.htmlElement(*tag);
      continue;
    }
    auto text = tokenizer.readText(*state, tag->name);
    if (templates > 0) continue;
    if (tag->name == "title" && !document.title) {
      // An unclosed title holds the rest of the page.
      document.title = titleText(text.text, stop);
    } else if (tag->name == "script" && text.closed && runsAsJavaScript(*tag)) {
      document.scripts.push_back(scriptSource(text.text));
    }
  }
  if (tokenizer.stopped() || (stop != nullptr && stop->stopped())) return {};
  return document;
}

}  // namespace webkit
