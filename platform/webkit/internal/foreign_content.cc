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

ForeignContent::ForeignContent(ScriptCheck runs) : runs_(runs) {
  // The first number is that of no name at all, which no end tag finds; the one name the reader
  // compares with keeps its number for good.
  names_.push_back({});
  names_.push_back({"annotation-xml", 0});
  numbers_.emplace("annotation-xml", kAnnotationXml);
}

uint32_t ForeignContent::numberOf(std::string_view name) const {
  auto found = numbers_.find(name);
  return found == numbers_.end() ? kUnnamed : found->second;
}

uint32_t ForeignContent::numberFor(const std::string& name) {
  if (auto found = numbers_.find(name); found != numbers_.end()) return found->second;
  if (numbers_.size() >= kMaxOpenNames) return kUnnamed;
  uint32_t number = static_cast<uint32_t>(names_.size());
  if (!free_numbers_.empty()) {
    number = free_numbers_.back();
    free_numbers_.pop_back();
    names_[number] = {name, 0};
  } else {
    names_.push_back({name, 0});
  }
  numbers_.emplace(name, number);
  return number;
}

size_t ForeignContent::runStart(size_t position) const {
  auto after = std::upper_bound(run_starts_.begin(), run_starts_.end(), position);
  return after == run_starts_.begin() ? 0 : *(after - 1);
}

void ForeignContent::push(const std::string& name, Space space, uint32_t flags) {
  // Positions are 32 bits: a page would need to be gigabytes long to go deeper.
  if (open_.size() >= UINT32_MAX - 1) return;
  const bool foreign = space != Space::html;
  if (open_.empty() || (spaceOf(open_.back()) != Space::html) != foreign) {
    run_starts_.push_back(static_cast<uint32_t>(open_.size()));
  }
  const uint32_t number = numberFor(name);
  Element element;
  element.word = number | (static_cast<uint32_t>(space) << kNameBits) | flags;
  if (number != kUnnamed) {
    element.below = names_[number].innermost;
    names_[number].innermost = static_cast<uint32_t>(open_.size() + 1);
  }
  open_.push_back(element);
}

void ForeignContent::popTo(size_t size) {
  while (open_.size() > size) {
    const Element element = open_.back();
    const uint32_t number = nameOf(element);
    if (number != kUnnamed) {
      Name& named = names_[number];
      named.innermost = element.below;
      // A name no open element has any more gives its number back, unless it is the reader's own.
      if (named.innermost == 0 && number > kAnnotationXml) {
        numbers_.erase(numbers_.find(named.text));
        named.text.clear();
        named.text.shrink_to_fit();
        free_numbers_.push_back(number);
      }
    }
    open_.pop_back();
    if (run_starts_.back() == open_.size()) run_starts_.pop_back();
  }
  while (!scripts_.empty() && scripts_.back().position >= size) {
    script_text_.resize(scripts_.back().text_start);
    scripts_.pop_back();
  }
}

bool ForeignContent::closeInRun(std::string_view name, size_t top) {
  const uint32_t number = numberOf(name);
  if (number == kUnnamed) return false;
  // The innermost of that name, which lies at or below the run's top.
  uint32_t at = names_[number].innermost;
  while (at != 0 && at - 1 > top) at = open_[at - 1].below;
  if (at == 0 || at - 1 < runStart(top)) return false;
  popTo(at - 1);
  return true;
}

void ForeignContent::breakOut() {
  while (inForeignNode() && !(open_.back().word & kHtmlIntegrationPoint) &&
         !(open_.back().word & kMathTextIntegrationPoint)) {
    popTo(open_.size() - 1);
  }
}

// Whether foreign content's rules take `tag` at the current node: none at an HTML element or an
// HTML integration point, nor at a MathML text integration point but for mglyph and malignmark.
bool ForeignContent::takesForeignRules(const Tag& tag) const {
  if (!inForeignNode()) return false;
  const Element node = open_.back();
  if (node.word & kHtmlIntegrationPoint) return false;
  if (node.word & kMathTextIntegrationPoint) {
    return tag.name == "mglyph" || tag.name == "malignmark";
  }
  return true;
}

ForeignContent::Outcome ForeignContent::htmlStartTag(const Tag& tag) {
  if (tag.name != "svg" && tag.name != "math") return Outcome::html;
  if (!tag.selfClosing) push(tag.name, tag.name == "svg" ? Space::svg : Space::math);
  return Outcome::handled;
}

ForeignContent::Outcome ForeignContent::startTag(const Tag& tag) {
  if (!takesForeignRules(tag)) return htmlStartTag(tag);
  if (breaksOut(tag)) {
    breakOut();
    return htmlStartTag(tag);
  }
  const Element node = open_.back();
  Space space = spaceOf(node);
  if (space == Space::math && isNamed(node, kAnnotationXml) && tag.name == "svg") {
    space = Space::svg;
  }
  uint32_t flags = 0;
  if (space == Space::svg) {
    if (isOneOf(tag.name, {"foreignobject", "desc", "title"})) flags |= kHtmlIntegrationPoint;
  } else {
    if (isOneOf(tag.name, {"mi", "mo", "mn", "ms", "mtext"})) flags |= kMathTextIntegrationPoint;
    const auto* encoding = tag.attribute("encoding");
    if (tag.name == "annotation-xml" && encoding &&
        (sameInAsciiCase(*encoding, "text/html") ||
         sameInAsciiCase(*encoding, "application/xhtml+xml"))) {
      flags |= kHtmlIntegrationPoint;
    }
  }
  if (tag.selfClosing) return Outcome::handled;
  const size_t before = open_.size();
  push(tag.name, space, flags);
  if (space == Space::svg && tag.name == "script" && open_.size() > before) {
    scripts_.push_back({before, script_text_.size(), runs_(tag)});
  }
  return Outcome::handled;
}

void ForeignContent::htmlElement(const Tag& tag) {
  if (!open_.empty() && !isVoid(tag.name)) push(tag.name, Space::html);
}

// An end tag in foreign content closes the innermost foreign element of its name in the run the
// current node is in; past that run, HTML's rules close the innermost HTML element of its name in
// the run below. What neither closes is HTML's to handle.
ForeignContent::Outcome ForeignContent::endTag(std::string_view name) {
  if (open_.empty()) return Outcome::html;
  const size_t top = open_.size() - 1;
  if (!inForeignNode()) return closeInRun(name, top) ? Outcome::handled : Outcome::html;
  if (name == "br" || name == "p") {
    breakOut();
    return Outcome::html;
  }
  if (inSVGScript() && name == "script") {
    // The current node itself: it ends, and runs with the text it holds.
    OpenScript script = scripts_.back();
    ended_ = {script.runs, script_text_.substr(script.text_start)};
    popTo(top);
    return Outcome::svgScriptEnded;
  }
  if (closeInRun(name, top)) return Outcome::handled;
  const size_t run_start = runStart(top);
  if (run_start > 0 && closeInRun(name, run_start - 1)) return Outcome::handled;
  return Outcome::html;
}

}  // namespace webkit
