#include "tools/fuzzing/fuzzer_options.h"

#include <gtest/gtest.h>

#include <vector>

namespace fuzzing {
namespace {

struct Bound {
  bool verbose = false;
  std::string target = "pdf";
  size_t runs = 7;
  double seconds = 0;
  std::chrono::milliseconds bound{5000};
  uint64_t seed = 1;

  FuzzerOptions options() {
    FuzzerOptions options;
    options.flag("--verbose", verbose);
    options.text("--target", target);
    options.count("--runs", runs);
    options.seconds("--seconds", seconds);
    options.milliseconds("--bound-ms", bound);
    options.seed("--seed", seed);
    return options;
  }

  bool parse(std::vector<const char*> arguments) {
    arguments.insert(arguments.begin(), "fuzzer");
    return options().parse(static_cast<int>(arguments.size()), arguments.data());
  }
};

TEST(FuzzerOptionsTest, ReadsEachKindAndKeepsTheDefaultsOfWhatIsAbsent) {
  Bound bound;
  ASSERT_TRUE(bound.parse(
      {"--runs", "12", "--verbose", "--seconds", "2.5", "--seed", "18446744073709551615"}));
  EXPECT_TRUE(bound.verbose);
  EXPECT_EQ(bound.runs, 12u);
  EXPECT_EQ(bound.seconds, 2.5);
  EXPECT_EQ(bound.seed, 18446744073709551615ull);
  EXPECT_EQ(bound.target, "pdf");
  EXPECT_EQ(bound.bound, std::chrono::milliseconds(5000));

  ASSERT_TRUE(bound.parse({"--target", "media", "--bound-ms", "250", "--seed", "random"}));
  EXPECT_EQ(bound.target, "media");
  EXPECT_EQ(bound.bound, std::chrono::milliseconds(250));
  EXPECT_TRUE(bound.parse({}));
}

// A value mistyped must not become 0, which for a time or a count means "no limit".
TEST(FuzzerOptionsTest, RefusesUnknownOptionsMissingValuesAndValuesOfTheWrongKind) {
  const std::vector<std::vector<const char*>> refused = {
      {"--unknown"},          {"--verbose", "--runs"},
      {"--runs", "12x"},      {"--runs", "-5"},
      {"--runs", ""},         {"--runs", "99999999999999999999999"},
      {"--seconds", "abc"},   {"--seconds", "-1"},
      {"--seconds", "inf"},   {"--seconds", "nan"},
      {"--seconds", "1s"},    {"--bound-ms", "1.5"},
      {"--bound-ms", "-20"},  {"--bound-ms", "99999999999999999999"},
      {"--seed", "randomly"}, {"--seed", "0x10"},
  };
  for (const auto& arguments : refused) {
    Bound bound;
    EXPECT_FALSE(bound.parse(arguments)) << arguments[0] << " " << arguments.back();
  }
}

}  // namespace
}  // namespace fuzzing
