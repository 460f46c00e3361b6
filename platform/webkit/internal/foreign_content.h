// Where a page's tree is in foreign content (<svg>, <math>), as HTML's tree builder tracks it,
// for the little the page reader needs: which tags foreign content's rules take (its elements
// hold no text states: an SVG title is no document title, a MathML style holds markup), the HTML
// tags that break out of it, its integration points (where HTML's rules apply again), and SVG
// script elements, which run at their own end tags with the text they hold themselves (an SVG
// script inside another runs first). Only foreign elements and the HTML elements inside their
// integration points are kept; an HTML end tag that matches none of them goes on to HTML's rules,
// which the reader models no further (it closes nothing here).
//
// Every open element is kept, however deep, in 8 bytes (its name as a number, its kind, and where
// the next one of its name is), so each tag is judged where it is: a page of endless nesting
// costs 8 bytes per element it opens (and 4 per run of foreign or HTML ones, 24 per SVG script),
// at most about four times its length. Names are numbered
// while an element of that name is open; past kMaxOpenNames different names at once, an element
// of a new name is kept without its name, and no end tag closes it but one of an enclosing name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/webkit/internal/html_tokenizer.h"

namespace webkit {

class ForeignContent {
 public:
  static constexpr size_t kMaxOpenNames = size_t{1} << 16;

  // Whether an SVG script element of this start tag holds a script that runs.
  using ScriptCheck = bool (*)(const HTMLTokenizer::Tag& tag);

  enum class Outcome {
    handled,         // foreign content's rules took the tag
    html,            // HTML's rules are to take it (after any break out of foreign content)
    svgScriptEnded,  // the end tag of the SVG script that was the current node: see endedScript
  };

  explicit ForeignContent(ScriptCheck runs);

  Outcome startTag(const HTMLTokenizer::Tag& tag);
  Outcome endTag(std::string_view name);
  // An element HTML's rules took that holds markup (no text state): kept inside an integration
  // point, so that its end tag finds it.
  void htmlElement(const HTMLTokenizer::Tag& tag);
  // Whether the current node is a foreign element (CDATA sections are text there).
  bool inForeignNode() const { return !open_.empty() && spaceOf(open_.back()) != Space::html; }
  // Where the text of the SVG script that is the current node goes; none when no SVG script is.
  std::string* svgScriptText() { return inSVGScript() ? &script_text_ : nullptr; }

  struct EndedScript {
    bool runs = false;
    std::string text;
  };
  // The SVG script the last svgScriptEnded closed.
  EndedScript takeEndedScript() { return std::move(ended_); }

 private:
  enum class Space : uint32_t { html = 0, svg = 1, math = 2 };
  // Packed: the name's number, its space, and whether it is an integration point.
  struct Element {
    uint32_t word = 0;
    // One past the position of the next open element of the same name below; 0 for none.
    uint32_t below = 0;
  };
  static constexpr uint32_t kNameBits = 28;
  static constexpr uint32_t kUnnamed = 0;
  static constexpr uint32_t kAnnotationXml = 1;
  static constexpr uint32_t kHtmlIntegrationPoint = uint32_t{1} << 30;
  static constexpr uint32_t kMathTextIntegrationPoint = uint32_t{1} << 31;
  static Space spaceOf(Element element) {
    return static_cast<Space>((element.word >> kNameBits) & 3);
  }
  static uint32_t nameOf(Element element) { return element.word & ((1u << kNameBits) - 1); }

  // A name's number and the innermost open element of that name.
  struct Name {
    std::string text;
    uint32_t innermost = 0;  // one past its position; 0 when none is open
  };
  // An SVG script element that is open: where it is, and where its text starts in script_text_.
  struct OpenScript {
    size_t position = 0;
    size_t text_start = 0;
    bool runs = false;
  };

  bool inSVGScript() const {
    return !scripts_.empty() && scripts_.back().position + 1 == open_.size();
  }
  bool isNamed(Element element, uint32_t name) const { return nameOf(element) == name; }
  bool takesForeignRules(const HTMLTokenizer::Tag& tag) const;
  Outcome htmlStartTag(const HTMLTokenizer::Tag& tag);
  // The number of `name` while one of its elements is open (annotation-xml's for good); kUnnamed
  // when there is none.
  uint32_t numberOf(std::string_view name) const;
  uint32_t numberFor(const std::string& name);
  // Closes the nearest element named `name` if it lies in the run that ends at `top`.
  bool closeInRun(std::string_view name, size_t top);
  // Where the run of foreign elements, or of HTML ones, that the element at `position` is in
  // starts.
  size_t runStart(size_t position) const;
  void push(const std::string& name, Space space, uint32_t flags = 0);
  void popTo(size_t size);
  void breakOut();

  ScriptCheck runs_;
  std::deque<Element> open_;
  // Where each run starts, in order: a run is a stretch of open elements all foreign or all HTML.
  std::vector<uint32_t> run_starts_;
  std::vector<Name> names_;
  // Looked up by a view of the name, never a copy.
  struct NameHash {
    using is_transparent = void;
    size_t operator()(std::string_view name) const { return std::hash<std::string_view>{}(name); }
  };
  std::unordered_map<std::string, uint32_t, NameHash, std::equal_to<>> numbers_;
  std::vector<uint32_t> free_numbers_;
  std::vector<OpenScript> scripts_;
  // The texts of the open SVG scripts, the innermost's last.
  std::string script_text_;
  EndedScript ended_;
};

}  // namespace webkit
