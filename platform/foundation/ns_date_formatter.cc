#include "platform/foundation/ns_date_formatter.h"

#include <array>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

constexpr std::array<const char*, 12> kMonthNames = {
    "January", "February", "March",     "April",   "May",      "June",
    "July",    "August",   "September", "October", "November", "December"};
constexpr std::array<const char*, 7> kWeekdayNames = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                                      "Thursday", "Friday", "Saturday"};

// One piece of a pattern: a run of one letter, or literal text.
struct Token {
  char letter = 0;
  int count = 0;
  std::string literal;
};

std::vector<Token> tokenize(const std::string& format) {
  std::vector<Token> tokens;
  auto add_literal = [&](char c) {
    if (tokens.empty() || tokens.back().letter != 0) tokens.push_back(Token{});
    tokens.back().literal.push_back(c);
  };
  for (size_t i = 0; i < format.size();) {
    char c = format[i];
    if (c == '\'') {
      if (i + 1 < format.size() && format[i + 1] == '\'') {
        add_literal('\'');
        i += 2;
        continue;
      }
      for (++i; i < format.size(); ++i) {
        if (format[i] == '\'') {
          if (i + 1 < format.size() && format[i + 1] == '\'') {
            add_literal('\'');
            ++i;
            continue;
          }
          break;
        }
        add_literal(format[i]);
      }
      ++i;
      continue;
    }
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
      size_t end = i;
      while (end < format.size() && format[end] == c) ++end;
      tokens.push_back(Token{c, static_cast<int>(end - i), {}});
      i = end;
      continue;
    }
    add_literal(c);
    ++i;
  }
  return tokens;
}

// Days from 1970-01-01 of a proleptic Gregorian date, and back.
int64_t daysFromCivil(int64_t year, int month, int day) {
  year -= month <= 2;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

struct Civil {
  int64_t year;
  int month;
  int day;
};

Civil civilFromDays(int64_t days) {
  days += 719468;
  const int64_t era = (days >= 0 ? days : days - 146096) / 146097;
  const int64_t day_of_era = days - era * 146097;
  const int64_t year_of_era =
      (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
  const int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
  const int64_t mp = (5 * day_of_year + 2) / 153;
  const int day = static_cast<int>(day_of_year - (153 * mp + 2) / 5 + 1);
  const int month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  return Civil{year_of_era + era * 400 + (month <= 2), month, day};
}

std::string padded(int64_t value, int width) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%0*lld", width, static_cast<long long>(value));
  return buffer;
}

std::string zoneText(int seconds, bool extended) {
  if (extended && seconds == 0) return "Z";
  char sign = seconds < 0 ? '-' : '+';
  int minutes = std::abs(seconds) / 60;
  return std::string(1, sign) + padded(minutes / 60, 2) + (extended ? ":" : "") +
         padded(minutes % 60, 2);
}

// Reads what the pattern asks for from `text`, moving `position` past it.
class Scanner {
 public:
  explicit Scanner(const std::string& text) : text_(text) {}

  bool atEnd() const { return position_ == text_.size(); }

  bool literal(const std::string& expected) {
    if (text_.compare(position_, expected.size(), expected) != 0) return false;
    position_ += expected.size();
    return true;
  }

  // At least one digit, at most `max_digits`; a negative sign only where allowed.
  std::optional<int64_t> number(int min_digits, int max_digits, bool allow_sign = false) {
    bool negative = false;
    if (allow_sign && position_ < text_.size() && text_[position_] == '-') {
      negative = true;
      ++position_;
    }
    int64_t value = 0;
    int digits = 0;
    while (position_ < text_.size() && digits < max_digits && std::isdigit(
                                                                   static_cast<unsigned char>(text_[position_]))) {
      value = value * 10 + (text_[position_++] - '0');
      ++digits;
    }
    if (digits < min_digits) return std::nullopt;
    return negative ? -value : value;
  }

  template <size_t N>
  std::optional<int> name(const std::array<const char*, N>& names, bool abbreviated) {
    for (size_t i = 0; i < N; ++i) {
      std::string candidate = abbreviated ? std::string(names[i], 3) : std::string(names[i]);
      if (literal(candidate)) return static_cast<int>(i);
    }
    return std::nullopt;
  }

  std::optional<int> zone() {
    if (literal("Z")) return 0;
    if (position_ >= text_.size() || (text_[position_] != '+' && text_[position_] != '-')) {
      return std::nullopt;
    }
    int sign = text_[position_++] == '-' ? -1 : 1;
    auto hours = number(2, 2);
    literal(":");
    auto minutes = number(2, 2);
    if (!hours || !minutes) return std::nullopt;
    return sign * static_cast<int>(*hours * 3600 + *minutes * 60);
  }

 private:
  const std::string& text_;
  size_t position_ = 0;
};

}  // namespace

std::string NSDateFormatter::stringFromDate(const NSDate& date) const {
  const double local = date.timeIntervalSince1970() + zone_seconds_;
  const double whole = std::floor(local);
  const double fraction = local - whole;
  const auto seconds = static_cast<int64_t>(whole);
  const int64_t days = (seconds >= 0 ? seconds : seconds - 86399) / 86400;
  const int64_t second_of_day = seconds - days * 86400;
  const Civil civil = civilFromDays(days);
  const int hour = static_cast<int>(second_of_day / 3600);
  const int weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday

  std::string out;
  for (const Token& token : tokenize(format_)) {
    switch (token.letter) {
      case 0:
        out += token.literal;
        break;
      case 'y':
        out += token.count == 2 ? padded(civil.year % 100, 2) : padded(civil.year, token.count);
        break;
      case 'M':
        if (token.count >= 4) {
          out += kMonthNames[civil.month - 1];
        } else if (token.count == 3) {
          out += std::string(kMonthNames[civil.month - 1], 3);
        } else {
          out += padded(civil.month, token.count);
        }
        break;
      case 'd':
        out += padded(civil.day, token.count);
        break;
      case 'E':
        out += token.count >= 4 ? std::string(kWeekdayNames[weekday])
                                : std::string(kWeekdayNames[weekday], 3);
        break;
      case 'H':
        out += padded(hour, token.count);
        break;
      case 'h':
        out += padded(hour % 12 == 0 ? 12 : hour % 12, token.count);
        break;
      case 'a':
        out += hour < 12 ? "AM" : "PM";
        break;
      case 'm':
        out += padded(second_of_day / 60 % 60, token.count);
        break;
      case 's':
        out += padded(second_of_day % 60, token.count);
        break;
      case 'S': {
        const auto scaled =
            static_cast<int64_t>(std::floor(fraction * std::pow(10.0, token.count) + 1e-6));
        out += padded(scaled, token.count);
        break;
      }
      case 'Z':
        out += zoneText(zone_seconds_, token.count >= 5);
        break;
      default:
        out.append(static_cast<size_t>(token.count), token.letter);
    }
  }
  return out;
}

std::optional<NSDate> NSDateFormatter::dateFromString(const std::string& text) const {
  Scanner scanner(text);
  int64_t year = 2000;
  int month = 1, day = 1, hour = 0, minute = 0, second = 0;
  double fraction = 0;
  bool afternoon = false, twelve_hour = false;
  int zone = zone_seconds_;
  for (const Token& token : tokenize(format_)) {
    bool ok = true;
    auto take = [&](int min_digits, int max_digits, auto& field) {
      auto value = scanner.number(min_digits, max_digits);
      ok = value.has_value();
      if (ok) field = static_cast<std::remove_reference_t<decltype(field)>>(*value);
    };
    switch (token.letter) {
      case 0:
        ok = scanner.literal(token.literal);
        break;
      case 'y':
        if (token.count == 2) {
          take(2, 2, year);
          if (ok) year += year < 70 ? 2000 : 1900;
        } else {
          auto value = scanner.number(1, 9, true);
          ok = value.has_value();
          if (ok) year = *value;
        }
        break;
      case 'M':
        if (token.count >= 3) {
          auto index = scanner.name(kMonthNames, token.count == 3);
          ok = index.has_value();
          if (ok) month = *index + 1;
        } else {
          take(token.count, 2, month);
        }
        break;
      case 'd':
        take(token.count, 2, day);
        break;
      case 'E':
        ok = scanner.name(kWeekdayNames, token.count < 4).has_value();
        break;
      case 'H':
        take(token.count, 2, hour);
        break;
      case 'h':
        take(token.count, 2, hour);
        twelve_hour = true;
        break;
      case 'a':
        if (scanner.literal("PM")) {
          afternoon = true;
        } else {
          ok = scanner.literal("AM");
        }
        break;
      case 'm':
        take(token.count, 2, minute);
        break;
      case 's':
        take(token.count, 2, second);
        break;
      case 'S': {
        auto value = scanner.number(token.count, token.count);
        ok = value.has_value();
        if (ok) fraction = static_cast<double>(*value) / std::pow(10.0, token.count);
        break;
      }
      case 'Z': {
        auto value = scanner.zone();
        ok = value.has_value();
        if (ok) zone = *value;
        break;
      }
      default:
        ok = scanner.literal(std::string(static_cast<size_t>(token.count), token.letter));
    }
    if (!ok) return std::nullopt;
  }
  if (!scanner.atEnd()) return std::nullopt;
  if (twelve_hour) hour = hour % 12 + (afternoon ? 12 : 0);
  if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
    return std::nullopt;
  }
  const double since_1970 = static_cast<double>(daysFromCivil(year, month, day) * 86400 +
                                                hour * 3600 + minute * 60 + second) +
                            fraction - zone;
  return NSDate::dateWithTimeIntervalSince1970(since_1970);
}
