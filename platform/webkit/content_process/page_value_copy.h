// Writes a page's value (a result, a message body) in the content protocol's value encoding,
// straight from the engine's heap with the engine's own API: only the value's own properties are
// read, and nothing the page defines elsewhere runs (no prototype's setter, no overridden
// built-in, no proxy trap). What the page holds is what arrives. Getters of the value's own
// properties do run, as a structured clone runs them, and what they throw goes on as thrown.
//
// Kept: undefined, null, booleans, numbers, strings, arrays (missing elements and undefined ones
// as null) and ordinary objects (their own enumerable string-keyed properties; undefined ones
// left out). Anything else (a function, a date, a typed array, a symbol, a proxy of any target,
// a value nested deeper than kMaxDepth, which is what a cycle becomes) cannot be copied.
#pragma once

#include <duktape.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace webkit {

// Duktape keeps strings as CESU-8 (characters beyond the first plane as two encoded surrogates);
// Foundation's strings are UTF-8. Lone surrogates become U+FFFD.
std::string toUtf8(duk_context* context, duk_idx_t index);

// The engine's own prototypes, taken before any page script runs.
struct EnginePrototypes {
  void* array = nullptr;
  void* object = nullptr;
  static EnginePrototypes of(duk_context* context);
};

enum class PageValueCopy { written, unsupported, tooLarge };

inline constexpr int kMaxPageValueDepth = 64;

// Writes the value at `index` to `out`, within `maxValues` values and `maxBytes` bytes. Runs
// inside a protected call: a getter's error, a full heap or a spent time budget is thrown on.
PageValueCopy writePageValue(duk_context* context, duk_idx_t index,
                             const EnginePrototypes& prototypes, size_t maxValues, size_t maxBytes,
                             std::vector<uint8_t>& out);

}  // namespace webkit
