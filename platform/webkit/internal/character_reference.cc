#include "platform/webkit/internal/character_reference.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <unordered_map>
#include <utility>

namespace webkit {
namespace {

constexpr char32_t kReplacementCharacter = 0xFFFD;
constexpr char32_t kLargestCodePoint = 0x10FFFF;

// U+00A0 to U+00FF, in order: the names that may also stand without their semicolon.
constexpr std::string_view kLatin1Names[] = {
    "nbsp",   "iexcl",  "cent",   "pound",  "curren", "yen",    "brvbar", "sect",
    "uml",    "copy",   "ordf",   "laquo",  "not",    "shy",    "reg",    "macr",
    "deg",    "plusmn", "sup2",   "sup3",   "acute",  "micro",  "para",   "middot",
    "cedil",  "sup1",   "ordm",   "raquo",  "frac14", "frac12", "frac34", "iquest",
    "Agrave", "Aacute", "Acirc",  "Atilde", "Auml",   "Aring",  "AElig",  "Ccedil",
    "Egrave", "Eacute", "Ecirc",  "Euml",   "Igrave", "Iacute", "Icirc",  "Iuml",
    "ETH",    "Ntilde", "Ograve", "Oacute", "Ocirc",  "Otilde", "Ouml",   "times",
    "Oslash", "Ugrave", "Uacute", "Ucirc",  "Uuml",   "Yacute", "THORN",  "szlig",
    "agrave", "aacute", "acirc",  "atilde", "auml",   "aring",  "aelig",  "ccedil",
    "egrave", "eacute", "ecirc",  "euml",   "igrave", "iacute", "icirc",  "iuml",
    "eth",    "ntilde", "ograve", "oacute", "ocirc",  "otilde", "ouml",   "divide",
    "oslash", "ugrave", "uacute", "ucirc",  "uuml",   "yacute", "thorn",  "yuml"};
static_assert(std::size(kLatin1Names) == 0x100 - 0xA0);

// The other names that may stand without their semicolon.
constexpr std::pair<std::string_view, char32_t> kLegacyNames[] = {
    {"amp", '&'}, {"lt", '<'}, {"gt", '>'},   {"quot", '"'},   {"AMP", '&'},
    {"LT", '<'},  {"GT", '>'}, {"QUOT", '"'}, {"COPY", 0xA9}, {"REG", 0xAE}};

// The names that stand only with their semicolon.
constexpr std::pair<std::string_view, char32_t> kNames[] = {
    {"apos", '\''},      {"OElig", 0x152},    {"oelig", 0x153},   {"Scaron", 0x160},
    {"scaron", 0x161},   {"Yuml", 0x178},     {"fnof", 0x192},    {"circ", 0x2C6},
    {"tilde", 0x2DC},    {"Alpha", 0x391},    {"Beta", 0x392},    {"Gamma", 0x393},
    {"Delta", 0x394},    {"Epsilon", 0x395},  {"Zeta", 0x396},    {"Eta", 0x397},
    {"Theta", 0x398},    {"Iota", 0x399},     {"Kappa", 0x39A},   {"Lambda", 0x39B},
    {"Mu", 0x39C},       {"Nu", 0x39D},       {"Xi", 0x39E},      {"Omicron", 0x39F},
    {"Pi", 0x3A0},       {"Rho", 0x3A1},      {"Sigma", 0x3A3},   {"Tau", 0x3A4},
    {"Upsilon", 0x3A5},  {"Phi", 0x3A6},      {"Chi", 0x3A7},     {"Psi", 0x3A8},
    {"Omega", 0x3A9},    {"alpha", 0x3B1},    {"beta", 0x3B2},    {"gamma", 0x3B3},
    {"delta", 0x3B4},    {"epsilon", 0x3B5},  {"zeta", 0x3B6},    {"eta", 0x3B7},
    {"theta", 0x3B8},    {"iota", 0x3B9},     {"kappa", 0x3BA},   {"lambda", 0x3BB},
    {"mu", 0x3BC},       {"nu", 0x3BD},       {"xi", 0x3BE},      {"omicron", 0x3BF},
    {"pi", 0x3C0},       {"rho", 0x3C1},      {"sigmaf", 0x3C2},  {"sigma", 0x3C3},
    {"tau", 0x3C4},      {"upsilon", 0x3C5},  {"phi", 0x3C6},     {"chi", 0x3C7},
    {"psi", 0x3C8},      {"omega", 0x3C9},    {"thetasym", 0x3D1}, {"upsih", 0x3D2},
    {"piv", 0x3D6},      {"ensp", 0x2002},    {"emsp", 0x2003},   {"thinsp", 0x2009},
    {"zwnj", 0x200C},    {"zwj", 0x200D},     {"lrm", 0x200E},    {"rlm", 0x200F},
    {"ndash", 0x2013},   {"mdash", 0x2014},   {"lsquo", 0x2018},  {"rsquo", 0x2019},
    {"sbquo", 0x201A},   {"ldquo", 0x201C},   {"rdquo", 0x201D},  {"bdquo", 0x201E},
    {"dagger", 0x2020},  {"Dagger", 0x2021},  {"bull", 0x2022},   {"hellip", 0x2026},
    {"permil", 0x2030},  {"prime", 0x2032},   {"Prime", 0x2033},  {"lsaquo", 0x2039},
    {"rsaquo", 0x203A},  {"oline", 0x203E},   {"frasl", 0x2044},  {"euro", 0x20AC},
    {"image", 0x2111},   {"weierp", 0x2118},  {"real", 0x211C},   {"trade", 0x2122},
    {"alefsym", 0x2135}, {"larr", 0x2190},    {"uarr", 0x2191},   {"rarr", 0x2192},
    {"darr", 0x2193},    {"harr", 0x2194},    {"crarr", 0x21B5},  {"lArr", 0x21D0},
    {"uArr", 0x21D1},    {"rArr", 0x21D2},    {"dArr", 0x21D3},   {"hArr", 0x21D4},
    {"forall", 0x2200},  {"part", 0x2202},    {"exist", 0x2203},  {"empty", 0x2205},
    {"nabla", 0x2207},   {"isin", 0x2208},    {"notin", 0x2209},  {"ni", 0x220B},
    {"prod", 0x220F},    {"sum", 0x2211},     {"minus", 0x2212},  {"lowast", 0x2217},
    {"radic", 0x221A},   {"prop", 0x221D},    {"infin", 0x221E},  {"ang", 0x2220},
    {"and", 0x2227},     {"or", 0x2228},      {"cap", 0x2229},    {"cup", 0x222A},
    {"int", 0x222B},     {"there4", 0x2234},  {"sim", 0x223C},    {"cong", 0x2245},
    {"asymp", 0x2248},   {"ne", 0x2260},      {"equiv", 0x2261},  {"le", 0x2264},
    {"ge", 0x2265},      {"sub", 0x2282},     {"sup", 0x2283},    {"nsub", 0x2284},
    {"sube", 0x2286},    {"supe", 0x2287},    {"oplus", 0x2295},  {"otimes", 0x2297},
    {"perp", 0x22A5},    {"sdot", 0x22C5},    {"lceil", 0x2308},  {"rceil", 0x2309},
    {"lfloor", 0x230A},  {"rfloor", 0x230B},  {"lang", 0x27E8},   {"rang", 0x27E9},
    {"loz", 0x25CA},     {"spades", 0x2660},  {"clubs", 0x2663},  {"hearts", 0x2665},
    {"diams", 0x2666}};

struct Name {
  char32_t codePoint;
  bool needsSemicolon;
};

const std::unordered_map<std::string_view, Name>& names() {
  static const auto* table = [] {
    auto* built = new std::unordered_map<std::string_view, Name>();
    for (size_t i = 0; i < std::size(kLatin1Names); ++i) {
      built->emplace(kLatin1Names[i], Name{static_cast<char32_t>(0xA0 + i), false});
    }
    for (const auto& [name, code_point] : kLegacyNames) built->emplace(name, Name{code_point, false});
    for (const auto& [name, code_point] : kNames) built->emplace(name, Name{code_point, true});
    return built;
  }();
  return *table;
}

constexpr size_t longestName() {
  size_t longest = 0;
  for (auto name : kLatin1Names) longest = std::max(longest, name.size());
  for (const auto& entry : kLegacyNames) longest = std::max(longest, entry.first.size());
  for (const auto& entry : kNames) longest = std::max(longest, entry.first.size());
  return longest;
}

bool isAsciiAlphanumeric(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

int digitValue(char c, int base) {
  int value = -1;
  if (c >= '0' && c <= '9') value = c - '0';
  if (base == 16 && c >= 'a' && c <= 'f') value = c - 'a' + 10;
  if (base == 16 && c >= 'A' && c <= 'F') value = c - 'A' + 10;
  return value;
}

// What browsers show for a reference to 0x80..0x9F: the Windows-1252 character of that byte
// (zero where that byte has none, and the number stands for itself).
constexpr char32_t kWindows1252[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char32_t referencedCodePoint(uint32_t number) {
  if (number == 0 || number > kLargestCodePoint || (number >= 0xD800 && number <= 0xDFFF)) {
    return kReplacementCharacter;
  }
  if (number >= 0x80 && number <= 0x9F && kWindows1252[number - 0x80] != 0) {
    return kWindows1252[number - 0x80];
  }
  return number;
}

std::optional<CharacterReference> readNumeric(std::string_view text, size_t at) {
  size_t i = at + 2;  // past "&#"
  int base = 10;
  if (i < text.size() && (text[i] == 'x' || text[i] == 'X')) {
    base = 16;
    ++i;
  }
  const size_t digits_start = i;
  uint32_t number = 0;
  // Every digit is read, but the number stops growing once it is past any code point.
  for (int digit; i < text.size() && (digit = digitValue(text[i], base)) >= 0; ++i) {
    if (number <= kLargestCodePoint) number = number * base + static_cast<uint32_t>(digit);
  }
  if (i == digits_start) return std::nullopt;
  if (i < text.size() && text[i] == ';') ++i;
  return CharacterReference{referencedCodePoint(number), i - at};
}

std::optional<CharacterReference> readNamed(std::string_view text, size_t at) {
  const size_t name_start = at + 1;
  size_t run = 0;
  while (name_start + run < text.size() && run <= longestName() &&
         isAsciiAlphanumeric(text[name_start + run])) {
    ++run;
  }
  const auto& table = names();
  // The whole name with its semicolon; else the longest name that may stand without one.
  if (name_start + run < text.size() && text[name_start + run] == ';') {
    if (auto found = table.find(text.substr(name_start, run)); found != table.end()) {
      return CharacterReference{found->second.codePoint, run + 2};
    }
  }
  for (size_t length = std::min(run, longestName()); length > 0; --length) {
    auto found = table.find(text.substr(name_start, length));
    if (found == table.end() || found->second.needsSemicolon) continue;
    return CharacterReference{found->second.codePoint, length + 1};
  }
  return std::nullopt;
}

}  // namespace

std::optional<CharacterReference> readCharacterReference(std::string_view text, size_t at) {
  if (at >= text.size() || text[at] != '&') return std::nullopt;
  if (at + 1 < text.size() && text[at + 1] == '#') return readNumeric(text, at);
  return readNamed(text, at);
}

}  // namespace webkit
