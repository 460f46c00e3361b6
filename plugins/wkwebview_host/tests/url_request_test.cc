// Requests and URLs through their channels.
#include "platform/webkit/webkit.h"
#include "plugins/wkwebview_host/tests/web_view_data_test_support.h"
#include "plugins/wkwebview_host/url_request_wrapper.h"

namespace wkwebview_host::testing {
namespace {

using flutter::Value;
using flutter::ValueList;
using flutter::ValueMap;

class URLRequestTest : public WebViewDataTest {};

TEST_F(URLRequestTest, RequestsAreBuiltReadAndChangedInPlace) {
  ASSERT_EQ(call("URLRequest", "pigeon_defaultConstructor", {id(1), Value("https://a.test/x")}),
            ok());
  auto wrapper = std::dynamic_pointer_cast<URLRequestWrapper>(instances().lookupObject(1));
  ASSERT_TRUE(wrapper);
  EXPECT_EQ(wrapper->value.cachePolicy, NSURLRequestUseProtocolCachePolicy);
  EXPECT_EQ(wrapper->value.timeoutInterval, 60.0);
  EXPECT_EQ(call("URLRequest", "getUrl", {ref(1)}), ok(Value("https://a.test/x")));
  EXPECT_EQ(call("URLRequest", "getHttpMethod", {ref(1)}), ok());

  EXPECT_EQ(call("URLRequest", "setHttpMethod", {ref(1), Value("POST")}), ok());
  EXPECT_EQ(call("URLRequest", "getHttpMethod", {ref(1)}), ok(Value("POST")));
  EXPECT_EQ(call("URLRequest", "setHttpBody", {ref(1), Value(std::vector<uint8_t>{1, 2, 3})}),
            ok());
  EXPECT_EQ(call("URLRequest", "getHttpBody", {ref(1)}), ok(Value(std::vector<uint8_t>{1, 2, 3})));
  EXPECT_EQ(call("URLRequest", "setHttpBody", {ref(1), Value()}), ok());
  EXPECT_EQ(call("URLRequest", "getHttpBody", {ref(1)}), ok());

  ValueMap fields{{Value("Accept"), Value("text/html")}, {Value("X-Id"), Value("7")}};
  EXPECT_EQ(call("URLRequest", "setAllHttpHeaderFields", {ref(1), Value(fields)}), ok());
  EXPECT_EQ(call("URLRequest", "getAllHttpHeaderFields", {ref(1)}), ok(Value(fields)));
  EXPECT_EQ(call("URLRequest", "setAllHttpHeaderFields", {ref(1), Value()}), ok());
  EXPECT_EQ(call("URLRequest", "getAllHttpHeaderFields", {ref(1)}), ok());
}

TEST_F(URLRequestTest, TextThatIsNoURLRegistersNothing) {
  EXPECT_EQ(call("URLRequest", "pigeon_defaultConstructor", {id(2), Value("http://a b")}),
            failure("ConstructorReturnedNullError",
                    Value("Failed to instantiate `NSURL` with parameters: " +
                          Value(ValueMap{{Value("string"), Value("http://a b")}}).debugString())));
  EXPECT_FALSE(instances().lookupObject(2));
}

TEST_F(URLRequestTest, BadArgumentsAreAnsweredAndChangeNothing) {
  call("URLRequest", "pigeon_defaultConstructor", {id(1), Value("https://a.test/")});
  auto wrong_map = call("URLRequest", "setAllHttpHeaderFields",
                        {ref(1), Value(ValueMap{{Value("A"), Value(3)}})});
  EXPECT_EQ((*wrong_map.asList())[0], Value("invalid-argument"));
  auto wrong_body = call("URLRequest", "setHttpBody", {ref(1), Value("text")});
  EXPECT_EQ((*wrong_body.asList())[0], Value("invalid-argument"));
  EXPECT_EQ(call("URLRequest", "getHttpBody", {ref(1)}), ok());
}

TEST_F(URLRequestTest, URLsAnswerTheirAbsoluteText) {
  instances().registerDartObject(makeObject<NSURL>("https://b.test/p?q"),
                                 5);
  EXPECT_EQ(call("URL", "getAbsoluteString", {ref(5)}), ok(Value("https://b.test/p?q")));
}

}  // namespace
}  // namespace wkwebview_host::testing
