#include "platform/webkit/internal/html_tokenizer.h"

#include <algorithm>

#include "platform/foundation/utf8.h"
#include "platform/webkit/internal/character_reference.h"

namespace webkit {
namespace {

constexpr size_t kStopCheckSteps = 4096;
// Longer than every tag name the reader looks for ("plaintext", "noscript", "template", ...).
constexpr size_t kLongestKeptName = 16;

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
bool isTagSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r'; }
bool endsTagName(char c) { return isTagSpace(c) || c == '/' || c == '>'; }

bool sameLowered(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    if (asciiLower(text[i]) != lower[i]) return false;
  }
  return true;
}

}  // namespace

const std::string_view* HTMLTokenizer::Tag::attribute(std::string_view name) const {
  for (size_t i = 0; i < std::size(kKeptAttributes); ++i) {
    if (kKeptAttributes[i] == name) return values[i] ? &*values[i] : nullptr;
  }
  return nullptr;
}

bool HTMLTokenizer::halt() {
  if (!stopped_ && ++steps_ % kStopCheckSteps == 0 && stop_ != nullptr && stop_->stopped()) {
    stopped_ = true;
  }
  if (stopped_) at_ = page_.size();
  return stopped_;
}

void HTMLTokenizer::keepText(size_t from, size_t to) {
  if (text_ == nullptr) return;
  for (size_t i = from; i < to;) {
    if (halt()) return;
    if (page_[i] == '&') {
      if (auto reference = readCharacterReference(page_.substr(0, to), i)) {
        foundation::appendUtf8(*text_, reference->codePoint);
        i += reference->length;
        continue;
      }
    }
    text_->push_back(page_[i++]);
  }
}

size_t HTMLTokenizer::skipPast(char c, size_t from) {
  size_t found = page_.find(c, from);
  return found == std::string_view::npos ? page_.size() : found + 1;
}

// From just past "<!--": the comment ends at "-->" or "--!>", or at once for "<!-->" and
// "<!--->"; one that never ends holds the rest of the page. ("<!--" inside changes nothing.)
size_t HTMLTokenizer::skipComment(size_t from) {
  enum { start, startDash, text, endDash, end, endBang } state = start;
  for (size_t i = from; i < page_.size(); ++i) {
    if (halt()) return page_.size();
    const char c = page_[i];
    switch (state) {
      case start:
        if (c == '>') return i + 1;
        state = c == '-' ? startDash : text;
        break;
      case startDash:
        if (c == '>') return i + 1;
        state = c == '-' ? end : text;
        break;
      case text:
        if (c == '-') state = endDash;
        break;
      case endDash:
        state = c == '-' ? end : text;
        break;
      case end:
        if (c == '>') return i + 1;
        if (c == '!') {
          state = endBang;
        } else if (c != '-') {
          state = text;
        }
        break;
      case endBang:
        if (c == '>') return i + 1;
        state = c == '-' ? endDash : text;
        break;
    }
  }
  return page_.size();
}

size_t HTMLTokenizer::readAttributes(size_t from, Tag* tag) {
  size_t i = from;
  while (i < page_.size()) {
    if (halt()) return std::string_view::npos;
    const char c = page_[i];
    if (isTagSpace(c) || c == '/') {
      if (c == '/' && at(i + 1) == '>' && tag != nullptr) tag->selfClosing = true;
      ++i;
      continue;
    }
    if (c == '>') return i + 1;
    // A name takes its first character whatever it is ('=' included), then up to a space, '/',
    // '>' or '='.
    const size_t name_start = i++;
    while (i < page_.size() && !endsTagName(page_[i]) && page_[i] != '=') ++i;
    std::string_view name = page_.substr(name_start, i - name_start);
    while (i < page_.size() && isTagSpace(page_[i])) ++i;
    std::string_view value;
    if (i < page_.size() && page_[i] == '=') {
      ++i;
      while (i < page_.size() && isTagSpace(page_[i])) ++i;
      if (i >= page_.size()) return std::string_view::npos;
      if (page_[i] == '"' || page_[i] == '\'') {
        size_t close = page_.find(page_[i], i + 1);
        if (close == std::string_view::npos) return std::string_view::npos;
        value = page_.substr(i + 1, close - i - 1);
        i = close + 1;
      } else if (page_[i] != '>') {
        const size_t value_start = i;
        while (i < page_.size() && !isTagSpace(page_[i]) && page_[i] != '>') ++i;
        value = page_.substr(value_start, i - value_start);
      }
    }
    if (tag == nullptr || name.size() > kLongestKeptName) continue;
    for (size_t k = 0; k < std::size(kKeptAttributes); ++k) {
      if (!tag->values[k] && sameLowered(name, kKeptAttributes[k])) tag->values[k] = value;
    }
  }
  return std::string_view::npos;
}

std::optional<HTMLTokenizer::Tag> HTMLTokenizer::nextTag() {
  while (at_ < page_.size()) {
    if (halt()) return std::nullopt;
    size_t lt = page_.find('<', at_);
    keepText(at_, lt == std::string_view::npos ? page_.size() : lt);
    if (lt == std::string_view::npos) break;
    const char next = at(lt + 1);
    if (next == '!') {
      if (page_.substr(lt + 2, 2) == "--") {
        at_ = skipComment(lt + 4);
      } else if (foreign_ && page_.substr(lt + 2, 7) == "[CDATA[") {
        // Its text as written, references and all, up to "]]>" or the page's end.
        const size_t start = lt + 9;
        const size_t end = std::min(page_.find("]]>", start), page_.size());
        if (text_ != nullptr) text_->append(page_.substr(start, end - start));
        at_ = end == page_.size() ? end : end + 3;
      } else {
        // DOCTYPEs, CDATA outside foreign content and bogus comments all end at the first '>'.
        at_ = skipPast('>', lt + 2);
      }
      continue;
    }
    if (next == '?') {
      at_ = skipPast('>', lt + 2);
      continue;
    }
    const bool is_end = next == '/';
    const size_t name_start = is_end ? lt + 2 : lt + 1;
    if (!isAlpha(at(name_start))) {
      if (is_end && name_start < page_.size()) {
        // "</>" is nothing; "</" and anything else but a letter is a bogus comment.
        at_ = page_[name_start] == '>' ? name_start + 1 : skipPast('>', name_start);
      } else {
        if (text_ != nullptr) text_->push_back('<');
        at_ = lt + 1;  // the '<' is text
      }
      continue;
    }
    size_t i = name_start;
    while (i < page_.size() && !endsTagName(page_[i])) {
      if (halt()) return std::nullopt;
      ++i;
    }
    Tag tag;
    tag.isEnd = is_end;
    if (i - name_start <= kLongestKeptName) {
      for (size_t k = name_start; k < i; ++k) tag.name.push_back(asciiLower(page_[k]));
    }
    size_t end = readAttributes(i, is_end ? nullptr : &tag);
    if (end == std::string_view::npos) {
      // A tag the page cuts off is no tag.
      at_ = page_.size();
      return std::nullopt;
    }
    at_ = end;
    return tag;
  }
  at_ = page_.size();
  return std::nullopt;
}

bool HTMLTokenizer::endTagAt(size_t lt, std::string_view name, size_t* after) const {
  if (at(lt + 1) != '/' || page_.size() - lt - 2 < name.size()) return false;
  const size_t end = lt + 2 + name.size();
  if (!sameLowered(page_.substr(lt + 2, name.size()), name) || !endsTagName(at(end))) {
    return false;
  }
  *after = end;
  return true;
}

// The text from `start` to the end tag at `lt`, whose name ends at `nameEnd`; the tag's own
// attributes are read as any tag's, so what their quotes hold is no markup.
HTMLTokenizer::ElementText HTMLTokenizer::endText(size_t start, size_t lt, size_t nameEnd) {
  size_t end = readAttributes(nameEnd, nullptr);
  ElementText text{page_.substr(start, lt - start), end != std::string_view::npos};
  at_ = text.closed ? end : page_.size();
  return text;
}

HTMLTokenizer::ElementText HTMLTokenizer::readText(TextState state, std::string_view name) {
  const size_t start = at_;
  if (state == TextState::scriptData) return scriptText(start);
  if (state == TextState::rcdata || state == TextState::rawtext) {
    for (size_t lt = page_.find('<', start); lt != std::string_view::npos;
         lt = page_.find('<', lt + 1)) {
      if (halt()) break;
      size_t after = 0;
      if (endTagAt(lt, name, &after)) return endText(start, lt, after);
    }
  }
  at_ = page_.size();
  return {page_.substr(start), false};
}

// Script data: "</script" ends it, except inside "<!--" ... "-->" after a "<script" (the
// double-escaped states), where "</script" only leaves that "<script".
HTMLTokenizer::ElementText HTMLTokenizer::scriptText(size_t start) {
  enum {
    data,
    escaped,
    escapedDash,
    escapedDashDash,
    twice,
    twiceDash,
    twiceDashDash
  } state = data;
  // The letters from `from` on: where they end, and whether they spell "script" with a space,
  // '/' or '>' after them.
  auto word = [&](size_t from, bool* isScript) {
    size_t end = from;
    while (end < page_.size() && isAlpha(page_[end])) ++end;
    *isScript =
        end - from == 6 && sameLowered(page_.substr(from, 6), "script") && endsTagName(at(end));
    return end;
  };
  size_t i = start;
  while (i < page_.size()) {
    if (halt()) break;
    const char c = page_[i];
    const bool is_escaped = state == escaped || state == escapedDash || state == escapedDashDash;
    if (c == '<' && (state == data || is_escaped)) {
      size_t after = 0;
      if (endTagAt(i, "script", &after)) return endText(start, i, after);
      if (state == data) {
        if (page_.substr(i + 1, 3) == "!--") {
          state = escapedDashDash;
          i += 4;
        } else {
          ++i;
        }
        continue;
      }
      state = escaped;
      if (at(i + 1) == '/') {
        i += 2;
      } else if (isAlpha(at(i + 1))) {
        bool is_script = false;
        i = word(i + 1, &is_script);
        if (is_script) {
          state = twice;
          ++i;
        }
      } else {
        ++i;
      }
      continue;
    }
    if (c == '<') {  // double escaped
      state = twice;
      if (at(i + 1) == '/') {
        bool is_script = false;
        i = word(i + 2, &is_script);
        if (is_script) {
          state = escaped;
          ++i;
        }
      } else {
        ++i;
      }
      continue;
    }
    switch (state) {
      case data:
        break;
      case escaped:
      case escapedDash:
        state = c == '-' ? (state == escaped ? escapedDash : escapedDashDash) : escaped;
        break;
      case escapedDashDash:
        state = c == '>' ? data : c == '-' ? escapedDashDash : escaped;
        break;
      case twice:
      case twiceDash:
        state = c == '-' ? (state == twice ? twiceDash : twiceDashDash) : twice;
        break;
      case twiceDashDash:
        state = c == '>' ? data : c == '-' ? twiceDashDash : twice;
        break;
    }
    ++i;
  }
  at_ = page_.size();
  return {page_.substr(start), false};
}

}  // namespace webkit
