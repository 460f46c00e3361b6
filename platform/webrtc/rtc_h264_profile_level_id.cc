#include "platform/webrtc/rtc_h264_profile_level_id.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace {

// profile_iop bits, most significant first: constraint_set0 .. constraint_set5.
constexpr uint8_t kConstraintSet3 = 0x10;

// Each profile has one spelling: its profile_idc with a mask of profile_iop bits that must match
// (the bits outside the mask are free).
struct ProfilePattern {
  uint8_t profile_idc;
  uint8_t iop_mask;
  uint8_t iop_value;
  RTCH264Profile profile;
  uint8_t written_iop;
};

constexpr std::array<ProfilePattern, 8> kPatterns{{
    {0x42, 0x40, 0x40, RTCH264ProfileConstrainedBaseline, 0xe0},
    {0x4d, 0x80, 0x80, RTCH264ProfileConstrainedBaseline, 0xe0},
    {0x58, 0xc0, 0xc0, RTCH264ProfileConstrainedBaseline, 0xe0},
    {0x42, 0x40, 0x00, RTCH264ProfileBaseline, 0x00},
    {0x58, 0xc0, 0x80, RTCH264ProfileBaseline, 0x00},
    {0x4d, 0x80, 0x00, RTCH264ProfileMain, 0x00},
    {0x64, 0x0c, 0x0c, RTCH264ProfileConstrainedHigh, 0x0c},
    {0x64, 0x0c, 0x00, RTCH264ProfileHigh, 0x00},
}};

constexpr uint8_t kHigh444ProfileIdc = 0xf4;

bool knownLevel(unsigned level) {
  switch (level) {
    case 0:
    case 10:
    case 11:
    case 12:
    case 13:
    case 20:
    case 21:
    case 22:
    case 30:
    case 31:
    case 32:
    case 40:
    case 41:
    case 42:
    case 50:
    case 51:
    case 52:
      return true;
    default:
      return false;
  }
}

std::optional<uint8_t> hexByte(const std::string& text, size_t at) {
  unsigned value = 0;
  for (size_t i = at; i < at + 2; ++i) {
    char c = text[i];
    value <<= 4;
    if (c >= '0' && c <= '9')
      value |= static_cast<unsigned>(c - '0');
    else if (c >= 'a' && c <= 'f')
      value |= static_cast<unsigned>(c - 'a' + 10);
    else if (c >= 'A' && c <= 'F')
      value |= static_cast<unsigned>(c - 'A' + 10);
    else
      return std::nullopt;
  }
  return static_cast<uint8_t>(value);
}

}  // namespace

std::optional<RTCH264ProfileLevelId> RTCH264ProfileLevelId::initWithHexString(
    const std::string& hexString) {
  if (hexString.size() != 6) return std::nullopt;
  auto profile_idc = hexByte(hexString, 0);
  auto profile_iop = hexByte(hexString, 2);
  auto level_idc = hexByte(hexString, 4);
  if (!profile_idc || !profile_iop || !level_idc) return std::nullopt;
  unsigned level = *level_idc;
  // Level 1b is level_idc 11 with constraint_set3 in the Baseline and Main profiles.
  if (level == 11 && (*profile_iop & kConstraintSet3) != 0 &&
      (*profile_idc == 0x42 || *profile_idc == 0x4d)) {
    level = RTCH264Level1_b;
  }
  if (level == 0 && *level_idc != 11) return std::nullopt;
  if (!knownLevel(level)) return std::nullopt;
  if (*profile_idc == kHigh444ProfileIdc) {
    return RTCH264ProfileLevelId(RTCH264ProfilePredictiveHigh444, static_cast<RTCH264Level>(level));
  }
  for (const auto& pattern : kPatterns) {
    if (pattern.profile_idc == *profile_idc &&
        (*profile_iop & pattern.iop_mask) == pattern.iop_value) {
      return RTCH264ProfileLevelId(pattern.profile, static_cast<RTCH264Level>(level));
    }
  }
  return std::nullopt;
}

std::string RTCH264ProfileLevelId::hexString() const {
  if (!knownLevel(level_)) return "";
  uint8_t profile_idc = 0;
  uint8_t profile_iop = 0;
  switch (profile_) {
    case RTCH264ProfileConstrainedBaseline:
      profile_idc = 0x42;
      profile_iop = 0xe0;
      break;
    case RTCH264ProfileBaseline:
      profile_idc = 0x42;
      profile_iop = 0x00;
      break;
    case RTCH264ProfileMain:
      profile_idc = 0x4d;
      profile_iop = 0x00;
      break;
    case RTCH264ProfileConstrainedHigh:
      profile_idc = 0x64;
      profile_iop = 0x0c;
      break;
    case RTCH264ProfileHigh:
      profile_idc = 0x64;
      profile_iop = 0x00;
      break;
    case RTCH264ProfilePredictiveHigh444:
      profile_idc = 0xf4;
      profile_iop = 0x00;
      break;
    default:
      return "";
  }
  unsigned level_idc = level_;
  if (level_ == RTCH264Level1_b) {
    // Level 1b only has a spelling in the Baseline-derived and Main profiles.
    if (profile_idc != 0x42 && profile_idc != 0x4d) return "";
    level_idc = 11;
    profile_iop |= kConstraintSet3;
  }
  char text[7];
  std::snprintf(text, sizeof text, "%02x%02x%02x", profile_idc, profile_iop, level_idc);
  return text;
}
