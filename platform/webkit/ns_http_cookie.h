// An HTTP cookie, described by its property dictionary.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/ns_date.h"
#include "platform/foundation/ns_object.h"

// The keys of a cookie's property dictionary.
inline const std::string NSHTTPCookieComment = "Comment";
inline const std::string NSHTTPCookieCommentURL = "CommentURL";
inline const std::string NSHTTPCookieDiscard = "Discard";
inline const std::string NSHTTPCookieDomain = "Domain";
inline const std::string NSHTTPCookieExpires = "Expires";
inline const std::string NSHTTPCookieMaximumAge = "Max-Age";
inline const std::string NSHTTPCookieName = "Name";
inline const std::string NSHTTPCookieOriginURL = "OriginURL";
inline const std::string NSHTTPCookiePath = "Path";
inline const std::string NSHTTPCookiePort = "Port";
inline const std::string NSHTTPCookieSameSitePolicy = "SameSitePolicy";
inline const std::string NSHTTPCookieSecure = "Secure";
inline const std::string NSHTTPCookieValue = "Value";
inline const std::string NSHTTPCookieVersion = "Version";

class NSHTTPCookie : public NSObject {
 public:
  // The cookie that `properties` describe; null when they lack a name, a value, or a domain or
  // an origin URL with a host (each a string). The path defaults to "/" and the domain to the
  // origin's host; both then appear in the properties.
  static std::shared_ptr<NSHTTPCookie> cookieWithProperties(AnyValue::Dictionary properties);

  // Use cookieWithProperties, which checks and completes the properties.
  explicit NSHTTPCookie(AnyValue::Dictionary properties);

  const AnyValue::Dictionary& properties() const { return properties_; }
  std::string name() const { return stringProperty(NSHTTPCookieName); }
  std::string value() const { return stringProperty(NSHTTPCookieValue); }
  std::string domain() const { return stringProperty(NSHTTPCookieDomain); }
  std::string path() const { return stringProperty(NSHTTPCookiePath); }
  // Whether the cookie has ended by `date`: its Max-Age (whole seconds, as text or an integer)
  // from when it was made, else its Expires date (text in any form servers send). A session
  // cookie never ends.
  bool isExpiredAt(const NSDate& date) const { return expires_date_ && *expires_date_ <= date; }
  // When the cookie ends (see isExpiredAt); none for a session cookie.
  const std::optional<NSDate>& expiresDate() const { return expires_date_; }

 private:
  std::string stringProperty(const std::string& key) const;

  AnyValue::Dictionary properties_;
  std::optional<NSDate> expires_date_;
};

