#include "editor/numeric_text.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

using namespace px316t;

TEST(ParseNumber, AcceptsDecimalForms)
{
    EXPECT_EQ(parseNumber("1234567"), 1234567.0);
    EXPECT_EQ(parseNumber("0001234567"), 1234567.0);
    EXPECT_EQ(parseNumber("123.6"), 123.6);
    EXPECT_EQ(parseNumber(".5"), 0.5);
    EXPECT_EQ(parseNumber("5."), 5.0);
    EXPECT_EQ(parseNumber("1.5e3"), 1500.0);
    EXPECT_EQ(parseNumber("2E+2"), 200.0);
    EXPECT_EQ(parseNumber("25e-1"), 2.5);
    EXPECT_EQ(parseNumber("  42  "), 42.0);
    EXPECT_EQ(parseNumber("-7"), -7.0);
    EXPECT_EQ(parseNumber("+7"), 7.0);
    EXPECT_EQ(parseNumber("4291000000"), 4291000000.0);
    EXPECT_EQ(parseNumber("99999999999"), 99999999999.0);
}

TEST(ParseNumber, RefusesEverythingElse)
{
    for (const char* text : {"", "   ", "abc", "12a", "a12", "&H3D", "1,000", "1 000", "--5", "+-5",
                             "- 5", "1.2.3", ".", "e5", "1e", "1e+", "1.5e3.2", "inf", "nan",
                             "0x10", "1e400", "-1e400", "12\t", "1\n"}) {
        EXPECT_FALSE(parseNumber(text).has_value()) << '"' << text << '"';
    }
}

TEST(ParseNumber, IgnoresTheDecimalCommaOfTheLocale)
{
    // Qt adopts the environment's locale; a German one must not change the fields.
    const char* previous = std::setlocale(LC_NUMERIC, nullptr);
    const std::string saved = previous ? previous : "C";
    if (!std::setlocale(LC_NUMERIC, "de_DE.UTF-8"))
        std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(parseNumber("123.5"), 123.5);
    EXPECT_FALSE(parseNumber("123,5").has_value());
    std::setlocale(LC_NUMERIC, saved.c_str());
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour)
{
    EXPECT_EQ(roundHalfEven(0.5), 0.0);
    EXPECT_EQ(roundHalfEven(1.5), 2.0);
    EXPECT_EQ(roundHalfEven(2.5), 2.0);
    EXPECT_EQ(roundHalfEven(-0.5), 0.0);
    EXPECT_EQ(roundHalfEven(-1.5), -2.0);
    EXPECT_EQ(roundHalfEven(-2.5), -2.0);
    EXPECT_EQ(roundHalfEven(123.6), 124.0);
    EXPECT_EQ(roundHalfEven(123.4), 123.0);
    EXPECT_EQ(roundHalfEven(-123.6), -124.0);
    EXPECT_EQ(roundHalfEven(4291000000.5), 4291000000.0);
    EXPECT_EQ(roundHalfEven(4291000001.5), 4291000002.0);
    EXPECT_EQ(roundHalfEven(0.49999999999999994), 0.0);
    EXPECT_EQ(roundHalfEven(9007199254740993.0), 9007199254740993.0);
}

TEST(RoundHalfEven, AgreesWithNearbyintOverManyHalves)
{
    for (int i = -5000; i <= 5000; ++i) {
        const double x = i + 0.5;
        EXPECT_EQ(roundHalfEven(x), std::nearbyint(x)) << x;
    }
}
