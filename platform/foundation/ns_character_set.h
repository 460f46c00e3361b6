// Sets of ASCII characters, as the percent-encoding of URL components uses them.
#pragma once

#include <bitset>
#include <string_view>

class NSCharacterSet {
 public:
  static NSCharacterSet characterSetWithCharactersInString(std::string_view characters);
  static const NSCharacterSet& URLUserAllowedCharacterSet();
  static const NSCharacterSet& URLPasswordAllowedCharacterSet();
  static const NSCharacterSet& URLHostAllowedCharacterSet();
  static const NSCharacterSet& URLPathAllowedCharacterSet();
  static const NSCharacterSet& URLQueryAllowedCharacterSet();
  static const NSCharacterSet& URLFragmentAllowedCharacterSet();

  // Bytes from 0x80 up (the parts of non-ASCII characters) are never members.
  bool characterIsMember(unsigned char character) const {
    return character < 128 && members_.test(character);
  }

 private:
  std::bitset<128> members_;
};
