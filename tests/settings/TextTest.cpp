#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "settings/NumberText.h"

namespace breezel {
namespace {

TEST(NumberText, LeadingNumberAndInteger) {
    constexpr auto max = std::numeric_limits<std::int32_t>::max();
    constexpr auto min = std::numeric_limits<std::int32_t>::min();
    const std::string nines(40, '9');
    struct Case {
        std::string text;
        double number;
        std::int32_t integer;
    };
    // clang-format off
    const Case cases[] = {
        {"1.5", 1.5, 1},   {" 7x", 7, 7},      {"\t-3", -3, -3}, {"abc", 0, 0},   {"", 0, 0},
        {"1e3", 1, 1},     {".5", 0.5, 0},     {"5.", 5, 5},     {".", 0, 0},     {"- 1", 0, 0},
        {"+2.25", 2.25, 2},                    {"2147483648", 2147483648.0, max},
        {"-2147483649", -2147483649.0, min},   {nines, 1e40, max}, {"-" + nines, -1e40, min},
    };
    // clang-format on
    for (const Case& c : cases) {
        EXPECT_EQ(LeadingNumber(c.text), c.number) << c.text;
        EXPECT_EQ(LeadingInteger(c.text), c.integer) << c.text;
    }
    EXPECT_TRUE(std::isinf(LeadingNumber(std::string(400, '9'))));
}

TEST(NumberText, RoundHalfEven) {
    constexpr auto max = std::numeric_limits<long long>::max();
    const std::pair<double, long long> cases[] = {
        {0.5, 0}, {1.5, 2},   {2.5, 2},     {-0.5, 0},          {-1.5, -2},
        {2.6, 3}, {-2.6, -3}, {1e300, max}, {-1e300, -max - 1}, {std::nan(""), 0},
    };
    for (const auto& [value, expected] : cases) {
        EXPECT_EQ(RoundHalfEven(value), expected) << value;
    }
}

}  // namespace
}  // namespace breezel
