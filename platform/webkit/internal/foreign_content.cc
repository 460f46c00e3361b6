#include "platform/webkit/internal/foreign_content.h"

#include <algorithm>
#include <iterator>

namespace webkit {
namespace {

using Tag = HTMLTokenizer::Tag;

bool isOneOf(std::string_view name, std::initializer_list<std::string_view> names) {
  for (auto candidate : names) {
    if (name == candidate) return true;
  }
  return false;
}

bool sameInAsciiCase(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i] >= 'A' && text[i] <= 'Z' ? static_cast<char>(text[i] - 'A' + 'a') : text[i];
    if (c != lower[i]) return false;
  }
  return true;
}

// In ASCII order, for a binary search: a tag is looked up in a few comparisons.
constexpr std::string_view kBreakingOut[] = {
    "b",      "big",  "blockquote", "body",  "br",   "center", "code",    "dd",   "div",
    "dl",     "dt",   "em",         "embed", "h1",   "h2",     "h3",      "h4",   "h5",
    "h6",     "head", "hr",         "i",     "img",  "li",     "listing", "menu", "meta",
    "nobr",   "ol",   "p",          "pre",   "ruby", "s",      "small",   "span", "strike",
    "strong", "sub",  "sup",        "table", "tt",   "u",      "ul",      "var"};
constexpr std::string_view kVoid[] = {"area",  "base",  "basefont", "bgsound", "br",    "col",
                                      "embed", "frame", "hr",       "img",     "input", "keygen",
                                      "link",  "meta",  "param",    "source",  "track", "wbr"};

static_assert(std::is_sorted(std::begin(kBreakingOut), std::end(kBreakingOut)));
static_assert(std::is_sorted(std::begin(kVoid), std::end(kVoid)));

template <size_t N>
bool isAmong(std::string_view name, const std::string_view (&sorted)[N]) {
  return std::binary_search(std::begin(sorted), std::end(sorted), name);
}

// The HTML start tags that end foreign content wherever they come in it.
bool breaksOut(const Tag& tag) {
  if (tag.name == "font") {
    return tag.attribute("color") || tag.attribute("face") || tag.attribute("size");
  }
  return isAmong(tag.name, kBreakingOut);
}

bool isVoid(std::string_view name) { return isAmong(name, kVoid); }

}  // namespace

void ForeignContent::push(Element element) {
  if (open_.size() >= kMaxDepth) return;
  const bool foreign = element.space != Space::html;
  element.runStart = !open_.empty() && (open_.back().space != Space::html) == foreign
                         ? open_.back().runStart
                         : open_.size();
  positions_[element.name].push_back(open_.size());
  open_.push_back(std::move(element));
}

void ForeignContent::popTo(size_t size) {
  while (open_.size() > size) {
    auto named = positions_.find(open_.back().name);
    named->second.pop_back();
    if (named->second.empty()) positions_.erase(named);
    open_.pop_back();
  }
  if (svg_script_depth_ > size) svg_script_depth_ = 0;
}

bool ForeignContent::closeInRun(const std::string& name, size_t top) {
  auto named = positions_.find(name);
  if (named == positions_.end()) return false;
  // The innermost of that name, which lies at or below the run's top.
  auto at = std::upper_bound(named->second.begin(), named->second.end(), top);
  if (at == named->second.begin() || *(at - 1) < open_[top].runStart) return false;
  popTo(*(at - 1));
  return true;
}

// Whether foreign content's rules take `tag` at the current node: none at an HTML element or an
// HTML integration point, nor at a MathML text integration point but for mglyph and malignmark.
bool ForeignContent::takesForeignRules(const Tag& tag) const {
  if (!inForeignNode()) return false;
  const Element& node = open_.back();
  if (node.htmlIntegrationPoint) return false;
  if (node.mathTextIntegrationPoint) return tag.name == "mglyph" || tag.name == "malignmark";
  return true;
}

ForeignContent::Outcome ForeignContent::htmlStartTag(const Tag& tag) {
  if (tag.name != "svg" && tag.name != "math") return Outcome::html;
  if (!tag.selfClosing) push({tag.name, tag.name == "svg" ? Space::svg : Space::math});
  return Outcome::handled;
}

ForeignContent::Outcome ForeignContent::startTag(const Tag& tag) {
  if (!takesForeignRules(tag)) return htmlStartTag(tag);
  if (breaksOut(tag)) {
    while (inForeignNode() && !open_.back().htmlIntegrationPoint &&
           !open_.back().mathTextIntegrationPoint) {
      popTo(open_.size() - 1);
    }
    return htmlStartTag(tag);
  }
  Element element{tag.name, open_.back().space};
  if (element.space == Space::math && open_.back().name == "annotation-xml" && tag.name == "svg") {
    element.space = Space::svg;
  }
  if (element.space == Space::svg) {
    element.htmlIntegrationPoint = isOneOf(tag.name, {"foreignobject", "desc", "title"});
  } else {
    element.mathTextIntegrationPoint = isOneOf(tag.name, {"mi", "mo", "mn", "ms", "mtext"});
    const auto* encoding = tag.attribute("encoding");
    element.htmlIntegrationPoint = tag.name == "annotation-xml" && encoding &&
                                   (sameInAsciiCase(*encoding, "text/html") ||
                                    sameInAsciiCase(*encoding, "application/xhtml+xml"));
  }
  if (tag.selfClosing) return Outcome::handled;
  const bool script = element.space == Space::svg && tag.name == "script";
  push(std::move(element));
  if (script && open_.size() < kMaxDepth) svg_script_depth_ = open_.size();
  return Outcome::handled;
}

void ForeignContent::htmlElement(const Tag& tag) {
  if (!open_.empty() && !isVoid(tag.name)) push({tag.name, Space::html});
}

// An end tag in foreign content closes the innermost foreign element of its name in the run the
// current node is in; past that run, HTML's rules close the innermost HTML element of its name in
// the run below. What neither closes is HTML's to handle.
ForeignContent::Outcome ForeignContent::endTag(std::string_view name) {
  if (open_.empty()) return Outcome::html;
  const std::string tag_name(name);
  const size_t top = open_.size() - 1;
  if (!inForeignNode()) return closeInRun(tag_name, top) ? Outcome::handled : Outcome::html;
  if (name == "br" || name == "p") {
    while (inForeignNode() && !open_.back().htmlIntegrationPoint &&
           !open_.back().mathTextIntegrationPoint) {
      popTo(open_.size() - 1);
    }
    return Outcome::html;
  }
  const bool in_script = inSVGScript() && name == "script";
  if (closeInRun(tag_name, top)) {
    return in_script && open_.size() == top ? Outcome::svgScriptEnded : Outcome::handled;
  }
  const size_t run_start = open_[top].runStart;
  if (run_start > 0 && closeInRun(tag_name, run_start - 1)) return Outcome::handled;
  return Outcome::html;
}

}  // namespace webkit
