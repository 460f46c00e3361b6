// A point in time, held as seconds since the platform's reference date, 2001-01-01 00:00 UTC.
#pragma once

using NSTimeInterval = double;

// Seconds from 1970-01-01 00:00 UTC to the reference date.
inline constexpr NSTimeInterval NSTimeIntervalSince1970 = 978307200.0;

class NSDate {
 public:
  NSDate() : NSDate(now()) {}
  static NSDate date() { return NSDate(); }
  static NSDate dateWithTimeIntervalSinceReferenceDate(NSTimeInterval seconds) {
    return NSDate(seconds);
  }
  static NSDate dateWithTimeIntervalSince1970(NSTimeInterval seconds) {
    return NSDate(seconds - NSTimeIntervalSince1970);
  }

  NSTimeInterval timeIntervalSinceReferenceDate() const { return seconds_; }
  NSTimeInterval timeIntervalSince1970() const { return seconds_ + NSTimeIntervalSince1970; }
  NSTimeInterval timeIntervalSinceNow() const { return seconds_ - now(); }

  friend bool operator==(const NSDate&, const NSDate&) = default;
  friend auto operator<=>(const NSDate&, const NSDate&) = default;

 private:
  explicit NSDate(NSTimeInterval seconds) : seconds_(seconds) {}
  static NSTimeInterval now();

  NSTimeInterval seconds_;
};
