// The kind of value an argument, a record's field or an answer holds, as the shape harvester
// writes it ("integer", "record:131", "object:WKWebView|NSObject?", "choice:a|b"), read in this
// one place into its parts.
#pragma once

#include <string>
#include <vector>

namespace channel_fuzzer {

struct ArgumentKind {
  enum class Type {
    unspecified,  // "": the page does not say
    boolean,
    integer,
    number,
    string,
    bytes,
    list,
    map,
    identifier,
    path,
    any,
    record,          // "record:<tag>": a plug-in codec's record
    object,          // "object:<API>|<API>..." or "object:*": a reference to a live object
    objects,         // "objects:<API>": a list of them
    newObject,       // "new:<API>": the identifier of a new object
    liveIdentifier,  // "id:*": a live object's identifier as an integer
    enumeration,     // "enum:<tag>"
    enumerations,    // "enums:<tag>": a list of cases
    enumerationMap,  // "enummap:<tag>": a map keyed by cases
    stringMap,       // "stringmap"
    choice,          // "choice:<a>|<b>...": one of the texts
    html,
    script,
    url,
    none,   // an answer without a value
    other,  // a word none of the above
  };

  ArgumentKind() = default;
  // Implicit: shapes are written as text.
  ArgumentKind(const char* text);         // NOLINT(google-explicit-constructor)
  ArgumentKind(const std::string& text);  // NOLINT(google-explicit-constructor)

  // The one API whose objects an object or objects kind names; empty for any other kind, and
  // for one that names several APIs or any.
  std::string singleApi() const;
  // The same kind without its "?".
  ArgumentKind required() const;

  Type type = Type::unspecified;
  bool nullable = false;  // a trailing "?": null is a value too
  // What follows the kind's prefix ("WKWebView|NSObject", "131"); empty for a kind without one.
  std::string detail;
  // `detail` split at "|": the APIs of an object kind, the texts of a choice.
  std::vector<std::string> names;
  int tag = 0;  // of a record or an enumeration
};

}  // namespace channel_fuzzer
