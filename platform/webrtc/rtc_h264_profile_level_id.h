// The H.264 "profile-level-id" format parameter: three bytes in hexadecimal (profile_idc,
// profile_iop, level_idc), read as a profile and a level.
#pragma once

#include <optional>
#include <string>

enum RTCH264Profile : unsigned {
  RTCH264ProfileConstrainedBaseline = 0,
  RTCH264ProfileBaseline = 1,
  RTCH264ProfileMain = 2,
  RTCH264ProfileConstrainedHigh = 3,
  RTCH264ProfileHigh = 4,
  RTCH264ProfilePredictiveHigh444 = 5,
};

// Levels are level_idc values: 31 is level 3.1, 51 is level 5.1. Level 1b is 0.
enum RTCH264Level : unsigned {
  RTCH264Level1_b = 0,
  RTCH264Level1 = 10,
  RTCH264Level1_1 = 11,
  RTCH264Level1_2 = 12,
  RTCH264Level1_3 = 13,
  RTCH264Level2 = 20,
  RTCH264Level2_1 = 21,
  RTCH264Level2_2 = 22,
  RTCH264Level3 = 30,
  RTCH264Level3_1 = 31,
  RTCH264Level3_2 = 32,
  RTCH264Level4 = 40,
  RTCH264Level4_1 = 41,
  RTCH264Level4_2 = 42,
  RTCH264Level5 = 50,
  RTCH264Level5_1 = 51,
  RTCH264Level5_2 = 52,
};

class RTCH264ProfileLevelId {
 public:
  // Nullopt when the text is not six hexadecimal digits naming a known profile and level.
  static std::optional<RTCH264ProfileLevelId> initWithHexString(const std::string& hexString);
  RTCH264ProfileLevelId(RTCH264Profile profile, RTCH264Level level)
      : profile_(profile), level_(level) {}

  RTCH264Profile profile() const { return profile_; }
  RTCH264Level level() const { return level_; }
  // Six lower-case hexadecimal digits; empty for a combination that has no spelling.
  std::string hexString() const;

 private:
  RTCH264Profile profile_;
  RTCH264Level level_;
};
