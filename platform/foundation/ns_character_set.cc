#include "platform/foundation/ns_character_set.h"

namespace {

constexpr std::string_view kAlphanumerics =
    "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

NSCharacterSet alphanumericsAnd(std::string_view punctuation) {
  std::string characters(kAlphanumerics);
  characters += punctuation;
  return NSCharacterSet::characterSetWithCharactersInString(characters);
}

}  // namespace

NSCharacterSet NSCharacterSet::characterSetWithCharactersInString(std::string_view characters) {
  NSCharacterSet set;
  for (char c : characters) {
    auto byte = static_cast<unsigned char>(c);
    if (byte < 128) set.members_.set(byte);
  }
  return set;
}

const NSCharacterSet& NSCharacterSet::URLUserAllowedCharacterSet() {
  static const NSCharacterSet set = alphanumericsAnd("!$&'()*+,-.;=_~");
  return set;
}

const NSCharacterSet& NSCharacterSet::URLPasswordAllowedCharacterSet() {
  static const NSCharacterSet set = alphanumericsAnd("!$&'()*+,-.;=_~");
  return set;
}

const NSCharacterSet& NSCharacterSet::URLHostAllowedCharacterSet() {
  static const NSCharacterSet set = alphanumericsAnd("!$&'()*+,-.:;=[]_~");
  return set;
}

const NSCharacterSet& NSCharacterSet::URLPathAllowedCharacterSet() {
  static const NSCharacterSet set = alphanumericsAnd("!$&'()*+,-./:=@_~");
  return set;
}

const NSCharacterSet& NSCharacterSet::URLQueryAllowedCharacterSet() {
  static const NSCharacterSet set = alphanumericsAnd("!$&'()*+,-./:;=?@_~");
  return set;
}

const NSCharacterSet& NSCharacterSet::URLFragmentAllowedCharacterSet() {
  static const NSCharacterSet set = alphanumericsAnd("!$&'()*+,-./:;=?@_~");
  return set;
}
