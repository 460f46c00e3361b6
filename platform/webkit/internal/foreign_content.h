// Where a page's tree is in foreign content (<svg>, <math>), as HTML's tree builder tracks it,
// for the little the page reader needs: which tags foreign content's rules take (its elements
// hold no text states: an SVG title is no document title, a MathML style holds markup), the HTML
// tags that break out of it, its integration points (where HTML's rules apply again), and SVG
// script elements, which run at their own end tags. Only foreign elements and the HTML elements
// inside their integration points are kept; an HTML end tag that matches none of them goes on to
// HTML's rules, which the reader models no further (it closes nothing here).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/webkit/internal/html_tokenizer.h"

namespace webkit {

class ForeignContent {
 public:
  // Elements deeper than this are not kept (as a browser's parser does, they become siblings),
  // so that a page of endless nesting costs no more than this per page.
  static constexpr size_t kMaxDepth = 512;

  enum class Outcome {
    handled,         // foreign content's rules took the tag
    html,            // HTML's rules are to take it (after any break out of foreign content)
    svgScriptEnded,  // the end tag of the SVG script that was the current node
  };

  Outcome startTag(const HTMLTokenizer::Tag& tag);
  Outcome endTag(std::string_view name);
  // An element HTML's rules took that holds markup (no text state): kept inside an integration
  // point, so that its end tag finds it.
  void htmlElement(const HTMLTokenizer::Tag& tag);
  // Whether the current node is a foreign element (CDATA sections are text there).
  bool inForeignNode() const { return !open_.empty() && open_.back().space != Space::html; }
  // Whether the current node is an SVG script element, whose text is its script.
  bool inSVGScript() const { return svg_script_depth_ != 0 && svg_script_depth_ == open_.size(); }

 private:
  enum class Space { html, svg, math };
  struct Element {
    std::string name;
    Space space = Space::html;
    bool htmlIntegrationPoint = false;
    bool mathTextIntegrationPoint = false;
    // Where the run of foreign elements, or of HTML ones, that this one belongs to starts.
    size_t runStart = 0;
  };

  bool takesForeignRules(const HTMLTokenizer::Tag& tag) const;
  Outcome htmlStartTag(const HTMLTokenizer::Tag& tag);
  // Closes the nearest element named `name` if it lies in the run that ends at `top`.
  bool closeInRun(const std::string& name, size_t top);
  void push(Element element);
  void popTo(size_t size);

  std::vector<Element> open_;
  // Where the open elements of each name are, innermost last: an end tag finds its element at
  // once, however deep the tree.
  std::unordered_map<std::string, std::vector<size_t>> positions_;
  // The depth at which the open SVG script element is the current node; 0 for none.
  size_t svg_script_depth_ = 0;
};

}  // namespace webkit
