#include "editor/password_rules.h"

#include "table/builtin_tables.h"

#include <gtest/gtest.h>

using namespace px316t;

namespace {

std::array<std::uint8_t, 4> digits(const PagerTable& t) { return {t[0x36F], t[0x36E], t[0x36D], t[0x36C]}; }

} // namespace

TEST(Password, AcceptedEntriesArePaddedOnTheLeft)
{
    PagerTable t = makeDefaultPagerTable();
    struct Case { const char* text; std::array<std::uint8_t, 4> stored; };
    for (const Case& c : {Case{"7", {0, 0, 0, 7}}, Case{"42", {0, 0, 4, 2}}, Case{"9876", {9, 8, 7, 6}},
                          Case{" 12", {0, 0, 1, 2}}, Case{"0000", {0, 0, 0, 0}}}) {
        EXPECT_EQ(storePassword(t, c.text), PasswordVerdict::Accepted) << c.text;
        EXPECT_EQ(digits(t), c.stored) << c.text;
    }
    EXPECT_EQ(readPassword(t), "0000");
}

TEST(Password, RefusedEntriesChangeNothing)
{
    PagerTable t = makeDefaultPagerTable();
    ASSERT_EQ(storePassword(t, "1234"), PasswordVerdict::Accepted);
    const PagerTable before = t;
    struct Case { const char* text; PasswordVerdict verdict; };
    for (const Case& c : {Case{"", PasswordVerdict::Empty}, Case{"-", PasswordVerdict::NotDecimal},
                          Case{"-1", PasswordVerdict::OutOfRange}, Case{"12345", PasswordVerdict::OutOfRange},
                          Case{"1e3", PasswordVerdict::NotDecimal}, Case{"9e99", PasswordVerdict::OutOfRange},
                          Case{"1.5", PasswordVerdict::NotDecimal}, Case{"+12", PasswordVerdict::NotDecimal},
                          Case{"1 2", PasswordVerdict::NotDecimal}, Case{"  ", PasswordVerdict::NotDecimal},
                          Case{"\u0661\u0662", PasswordVerdict::NotDecimal}, Case{"&H1F", PasswordVerdict::NotDecimal}}) {
        EXPECT_EQ(storePassword(t, c.text), c.verdict) << c.text;
        EXPECT_EQ(t, before) << c.text;
    }
    EXPECT_EQ(passwordMessage(PasswordVerdict::NotDecimal), "Please insert a decimal numeric!");
    EXPECT_EQ(passwordMessage(PasswordVerdict::OutOfRange), "Please insert a number between 0000 to 9999");
}

TEST(Password, ByteAboveNineShowsAsItsOwnDigits)
{
    PagerTable t = makeDefaultPagerTable();
    t[0x36F] = 1;
    t[0x36E] = 12;
    t[0x36D] = 3;
    t[0x36C] = 255;
    EXPECT_EQ(readPassword(t), "1123255");
}
