// A page's tags and the text of its text elements, read as HTML's tokenizer reads them, for the
// little this web view needs of a page: comments, bogus comments and DOCTYPEs hold nothing; the
// text of RCDATA, RAWTEXT and script elements (script data's escaped states included) ends only
// at the element's own end tag. In foreign content (SVG, MathML) "<![CDATA[" starts a CDATA
// section, text up to "]]>"; the text between tags can be kept, character references decoded.
// Each byte is looked at a bounded number of times whatever the page holds, and the reading ends
// within a few kilobytes once its stop is set.
#pragma once

#include <cstddef>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "platform/webkit/internal/reading_stop.h"

namespace webkit {

class HTMLTokenizer {
 public:
  // The attributes a start tag is read for; the others are passed over, so a tag of any number
  // of attributes costs one pass.
  static constexpr std::string_view kKeptAttributes[] = {
      "src", "type", "language", "href", "xlink:href", "encoding", "color", "face", "size"};

  struct Tag {
    bool isEnd = false;
    // Written "<name .../>".
    bool selfClosing = false;
    // In ASCII lower case; empty when longer than any name this reader looks for.
    std::string name;
    // The first value of each kept attribute, as written (references not decoded).
    std::optional<std::string_view> values[std::size(kKeptAttributes)];

    const std::string_view* attribute(std::string_view name) const;
  };

  // How the text after a start tag is read until its end tag.
  enum class TextState { rcdata, rawtext, scriptData, plaintext };

  struct ElementText {
    std::string_view text;
    // Whether the element's end tag came whole; else `text` runs to the end of the page (or to
    // an end tag the page cut off).
    bool closed = false;
  };

  HTMLTokenizer(std::string_view page, const ReadingStop* stop) : page_(page), stop_(stop) {}

  // The next start or end tag in the data state: none at the end of the page, or once stopped.
  std::optional<Tag> nextTag();
  // Whether what follows is read as foreign content (the tree's current node is no HTML
  // element): CDATA sections are text there, elsewhere bogus comments.
  void setForeign(bool foreign) { foreign_ = foreign; }
  // Where nextTag appends the text it passes over (none: the text is not kept).
  void setTextSink(std::string* text) { text_ = text; }
  // The text of the element whose start tag `name` was just read, in `state`.
  ElementText readText(TextState state, std::string_view name);
  bool stopped() const { return stopped_; }

 private:
  bool halt();
  char at(size_t i) const { return i < page_.size() ? page_[i] : '\0'; }
  size_t skipComment(size_t from);
  size_t skipPast(char c, size_t from);
  // Appends the text from `from` to `to` to the sink, its character references decoded.
  void keepText(size_t from, size_t to);
  // Reads attributes from `from` to the tag's '>'; where the tag ends, or npos at the page's end.
  size_t readAttributes(size_t from, Tag* tag);
  // Whether an end tag of `name` starts at `lt`; `after` is then just past its name.
  bool endTagAt(size_t lt, std::string_view name, size_t* after) const;
  ElementText endText(size_t start, size_t lt, size_t nameEnd);
  ElementText scriptText(size_t start);

  std::string_view page_;
  const ReadingStop* stop_;
  size_t at_ = 0;
  size_t steps_ = 0;
  bool stopped_ = false;
  bool foreign_ = false;
  std::string* text_ = nullptr;
};

}  // namespace webkit
