#include "platform/webkit/internal/cookie_date.h"

#include <array>
#include <cctype>
#include <cstdint>

namespace webkit {
namespace {

bool isDelimiter(unsigned char c) {
  return c == 0x09 || (c >= 0x20 && c <= 0x2F) || (c >= 0x3B && c <= 0x40) ||
         (c >= 0x5B && c <= 0x60) || (c >= 0x7B && c <= 0x7E);
}

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Reads `min` to `max` digits at `at`, not followed by another digit; advances `at`.
std::optional<int> digits(std::string_view token, size_t& at, size_t min, size_t max) {
  size_t start = at;
  int value = 0;
  while (at < token.size() && isDigit(token[at]) && at - start < max) {
    value = value * 10 + (token[at] - '0');
    ++at;
  }
  if (at - start < min || (at < token.size() && isDigit(token[at]))) return std::nullopt;
  return value;
}

struct Time {
  int hour, minute, second;
};

std::optional<Time> timeOf(std::string_view token) {
  size_t at = 0;
  auto hour = digits(token, at, 1, 2);
  if (!hour || at >= token.size() || token[at++] != ':') return std::nullopt;
  auto minute = digits(token, at, 1, 2);
  if (!minute || at >= token.size() || token[at++] != ':') return std::nullopt;
  auto second = digits(token, at, 1, 2);
  if (!second) return std::nullopt;
  return Time{*hour, *minute, *second};
}

std::optional<int> numberOf(std::string_view token, size_t min, size_t max) {
  size_t at = 0;
  return digits(token, at, min, max);
}

std::optional<int> monthOf(std::string_view token) {
  static constexpr std::array<std::string_view, 12> kMonths = {
      "jan", "feb", "mar", "apr", "may", "jun", "jul", "aug", "sep", "oct", "nov", "dec"};
  if (token.size() < 3) return std::nullopt;
  for (size_t month = 0; month < kMonths.size(); ++month) {
    bool same = true;
    for (size_t i = 0; i < 3; ++i) {
      same = same && std::tolower(static_cast<unsigned char>(token[i])) == kMonths[month][i];
    }
    if (same) return static_cast<int>(month) + 1;
  }
  return std::nullopt;
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t daysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  int64_t era = (year >= 0 ? year : year - 399) / 400;
  int64_t year_of_era = year - era * 400;
  int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

int daysInMonth(int year, int month) {
  static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : kDays[static_cast<size_t>(month - 1)];
}

}  // namespace

std::optional<NSDate> parseCookieDate(std::string_view text) {
  std::optional<Time> time;
  std::optional<int> day, month, year;
  size_t at = 0;
  while (at < text.size()) {
    while (at < text.size() && isDelimiter(static_cast<unsigned char>(text[at]))) ++at;
    size_t end = at;
    while (end < text.size() && !isDelimiter(static_cast<unsigned char>(text[end]))) ++end;
    std::string_view token = text.substr(at, end - at);
    at = end;
    if (token.empty()) continue;
    if (!time && (time = timeOf(token))) continue;
    if (!day && (day = numberOf(token, 1, 2))) continue;
    if (!month && (month = monthOf(token))) continue;
    if (!year) year = numberOf(token, 2, 4);
  }
  if (!time || !day || !month || !year) return std::nullopt;
  if (*year >= 70 && *year <= 99) *year += 1900;
  if (*year >= 0 && *year <= 69) *year += 2000;
  if (*year < 1601 || *day < 1 || *day > daysInMonth(*year, *month) || time->hour > 23 ||
      time->minute > 59 || time->second > 59) {
    return std::nullopt;
  }
  int64_t seconds = daysFromCivil(*year, *month, *day) * 86400 + time->hour * 3600 +
                    time->minute * 60 + time->second;
  return NSDate::dateWithTimeIntervalSince1970(static_cast<NSTimeInterval>(seconds));
}

}  // namespace webkit
