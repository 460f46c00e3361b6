// The channel envelope: host handlers' answers, calls to the Dart side and their failures, the
// main-queue dispatch and the registrar's errors.
#include <gtest/gtest.h>

#include <stdexcept>

#include "platform/dispatch/dispatch.h"
#include "platform/foundation/testing/foundation_controls.h"
#include "platform/foundation/ns_object.h"
#include "plugins/wkwebview_host/tests/web_view_host_test_support.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_host_operation.h"
#include "plugins/wkwebview_host/web_kit_library/pigeon_proxy_api.h"

namespace wkwebview_host::testing {
namespace {

using flutter::Value;
using flutter::ValueList;

// An API whose calls to the Dart side the tests make directly.
class ProbeApi : public PigeonProxyApi {
 public:
  explicit ProbeApi(WebKitLibraryPigeonProxyApiRegistrar& registrar)
      : PigeonProxyApi(registrar, "Probe") {}
  using PigeonProxyApi::announce;
  using PigeonProxyApi::callDart;
};

class EnvelopeTest : public WebViewHostTest {
 protected:
  // Calls "Probe.call" about `object` and waits for the outcome.
  PigeonResult call(const std::shared_ptr<NSObject>& object, DartReturn expected) {
    std::optional<PigeonResult> outcome;
    ProbeApi(registrar())
        .callDart("call", object, ValueList{Value("argument")}, expected,
                  [&](const PigeonResult& result) { outcome = result; });
    dart.runUntil([&] { return outcome.has_value(); });
    return outcome.value_or(PigeonError("test", "no outcome", Value()));
  }
  std::shared_ptr<NSObject> registeredObject() {
    auto object = makeObject<NSObject>();
    instances().registerDartObject(object, 1);
    return object;
  }
  Value hostCall(PigeonHostHandler handler, Value message = ValueList{}) {
    installHostOperation(engine->binaryMessenger(), channelName("Probe", "host"), dartSideCodec(),
                         std::move(handler));
    return dart.sendMessage(channelName("Probe", "host"), message, dartSideCodec())
        .value_or("none");
  }
};

TEST_F(EnvelopeTest, HostHandlersAnswerResultsAndEveryKindOfError) {
  EXPECT_EQ(hostCall([](const PigeonArguments&, const PigeonHostReply& reply) {
              reply.success(Value("done"));
            }),
            Value(ValueList{Value("done")}));
  EXPECT_EQ(hostCall([](const PigeonArguments&, const PigeonHostReply&) {
              throw PigeonError("code", std::nullopt, Value(3));
            }),
            Value(ValueList{Value("code"), Value(), Value(3)}));
  EXPECT_EQ(hostCall([](const PigeonArguments&, const PigeonHostReply&) {
              throw FlutterError{"flutter", "message", Value()};
            }),
            Value(ValueList{Value("flutter"), Value("message"), Value()}));

  Value other = hostCall(
      [](const PigeonArguments&, const PigeonHostReply&) { throw std::out_of_range("index 9"); });
  ASSERT_EQ(other.asList()->size(), 3u);
  EXPECT_EQ((*other.asList())[0], Value("index 9"));
  EXPECT_EQ((*other.asList())[1], Value("out_of_range"));
  EXPECT_EQ((*other.asList())[2].asString()->rfind("Stacktrace: ", 0), 0u);

  // Arguments of the wrong kind are answered, never acted on.
  Value bad = hostCall(
      [](const PigeonArguments& arguments, const PigeonHostReply& reply) {
        reply.success(Value(arguments.identifier(0) + arguments.boolean(1)));
      },
      ValueList{Value(int64_t{5}), Value("yes")});
  EXPECT_EQ(bad, Value(ValueList{Value("invalid-argument"),
                                 Value("Probe.host expects a boolean as argument 1."), Value()}));
}

TEST_F(EnvelopeTest, IgnoredCallsFailAtOnceAndSendNothing) {
  registrar().setIgnoreCallsToDart(true);
  answerDartCalls("Probe.call");
  EXPECT_EQ(std::get<PigeonError>(call(registeredObject(), DartReturn::none)),
            PigeonError("ignore-calls-error", "Calls to Dart are being ignored.", Value("")));
  EXPECT_TRUE(received->empty());
}

TEST_F(EnvelopeTest, CallbacksAboutUnknownObjectsFailWithTheirOwnName) {
  answerDartCalls("Probe.call");
  EXPECT_EQ(std::get<PigeonError>(call(makeObject<NSObject>(), DartReturn::none)),
            PigeonError("missing-instance-error",
                        "Callback to `Probe.call` failed because native instance was not in the "
                        "instance manager.",
                        Value("")));
  EXPECT_TRUE(received->empty());
}

TEST_F(EnvelopeTest, RepliesAreReadByTheShapeOfTheOperation) {
  auto object = registeredObject();
  answerDartCalls("Probe.call", ValueList{Value()});
  EXPECT_EQ(std::get<PigeonError>(call(object, DartReturn::nonNull)),
            PigeonError("null-error", "Flutter api returned null value for non-null return value.",
                        Value("")));
  EXPECT_EQ(std::get<Value>(call(object, DartReturn::nullable)), Value());
  EXPECT_EQ(std::get<Value>(call(object, DartReturn::none)), Value());
  EXPECT_EQ(received->back().message, Value(ValueList{ref(1), Value("argument")}));

  answerDartCalls("Probe.call", ValueList{Value("denied"), Value(), Value()});
  EXPECT_EQ(std::get<PigeonError>(call(object, DartReturn::none)),
            PigeonError("denied", std::nullopt, Value()));

  answerDartCalls("Probe.call", std::nullopt);
  EXPECT_EQ(std::get<PigeonError>(call(object, DartReturn::nonNull)),
            PigeonError("channel-error",
                        "Unable to establish connection on channel: "
                        "'dev.flutter.pigeon.wkwebview_host.Probe.call'.",
                        Value("")));
}

TEST_F(EnvelopeTest, MainThreadDispatchAlwaysWaitsForALaterTurnAndLogsFailures) {
  foundation::testing::setLogCapture(true);
  foundation::testing::takeLogLines();
  bool ran = false;
  registrar().dispatchOnMainThread([&](const PigeonFailureReporter& report) {
    ran = dispatch::isMainThread();
    report("WKNavigationDelegate.didFinishNavigation", PigeonError("e", "gone", Value()));
    report("NSObject.observeValue", PigeonError("e", std::nullopt, Value()));
  });
  EXPECT_FALSE(ran);
  EXPECT_TRUE(dart.runUntil([&] { return ran; }));
  auto lines = foundation::testing::takeLogLines();
  foundation::testing::setLogCapture(false);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0],
            "wkwebview_host.PigeonError: Error returned from calling "
            "WKNavigationDelegate.didFinishNavigation: Optional(\"gone\")");
  EXPECT_EQ(lines[2],
            "wkwebview_host.PigeonError: Error returned from calling NSObject.observeValue: nil");
  EXPECT_FALSE(lines[1].empty());
}

TEST(ProxyAPIRegistrarTest, ErrorFactoriesSpellTheirMessages) {
  EXPECT_EQ(ProxyAPIRegistrar::createUnknownEnumError(UserScriptInjectionTime::unknown),
            PigeonError("UnknownEnumError", "unknown doesn't represent a native value.", Value()));
  EXPECT_EQ(ProxyAPIRegistrar::createUnsupportedVersionError("WKWebView.inspectable",
                                                             "iOS 16.4, macOS 13.3"),
            PigeonError("HWVUnsupportedVersionError",
                        "`WKWebView.inspectable` requires iOS 16.4, macOS 13.3.", Value()));
  auto constructor = ProxyAPIRegistrar::createConstructorNullError(
      "NSURL", flutter::ValueMap{{Value("string"), Value("not a url")}});
  EXPECT_EQ(constructor.code(), "ConstructorReturnedNullError");
  EXPECT_EQ(constructor.message()->rfind("Failed to instantiate `NSURL` with parameters: ", 0), 0u);
  EXPECT_NE(constructor.message()->find("not a url"), std::string::npos);
}

}  // namespace
}  // namespace wkwebview_host::testing
