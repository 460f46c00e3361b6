// What a page or its content process hands over as text is UTF-8 from here on, as every string
// of a channel must be. A page's bytes, or a content process, may say anything: each ill-formed
// sequence becomes U+FFFD (as a browser shows a page that is not what it says), in one pass.
#pragma once

#include <string>
#include <string_view>

namespace webkit {

std::string withValidUtf8(std::string_view text);

}  // namespace webkit
