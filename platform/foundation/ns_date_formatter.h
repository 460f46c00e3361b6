// Fixed-format dates: text to date and back through a Unicode date pattern, in a time zone given
// as an offset from GMT. Only the English ("en_US" and "en_US_POSIX") names of months and
// weekdays are known.
//
// Pattern letters: y (yy: two digits), M (MMM, MMMM: names), d, H, h, a, m, s, S (fraction
// digits), E (EEE, EEEE: weekday names), Z (+hhmm) and ZZZZZ (+hh:mm or Z); text between single
// quotes is literal, and two single quotes are one quote.
#pragma once

#include <optional>
#include <string>

#include "platform/foundation/ns_date.h"

class NSDateFormatter {
 public:
  const std::string& dateFormat() const { return format_; }
  void setDateFormat(std::string format) { format_ = std::move(format); }
  // The time zone as seconds east of GMT.
  int timeZoneSecondsFromGMT() const { return zone_seconds_; }
  void setTimeZoneSecondsFromGMT(int seconds) { zone_seconds_ = seconds; }
  const std::string& localeIdentifier() const { return locale_; }
  void setLocaleIdentifier(std::string identifier) { locale_ = std::move(identifier); }

  std::string stringFromDate(const NSDate& date) const;
  // nullopt when the text does not match the pattern as a whole.
  std::optional<NSDate> dateFromString(const std::string& text) const;

 private:
  std::string format_;
  int zone_seconds_ = 0;
  std::string locale_ = "en_US_POSIX";
};
