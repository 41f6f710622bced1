#include "editor/password_rules.h"

#include "table/builtin_tables.h"

#include <gtest/gtest.h>

using namespace px316t;

TEST(Password, StoresAcceptedEntriesAndChangesNothingOtherwise)
{
    PagerTable t = makeDefaultPagerTable();
    ASSERT_EQ(storePassword(t, " 42"), PasswordVerdict::Accepted);
    EXPECT_EQ(readPassword(t), "0042");
    const PagerTable before = t;
    struct Case { const char* text; PasswordVerdict verdict; };
    for (const Case& c : {Case{"", PasswordVerdict::Empty}, Case{"-1", PasswordVerdict::OutOfRange},
                          Case{"9e99", PasswordVerdict::OutOfRange}, Case{"1.5", PasswordVerdict::NotDecimal},
                          Case{"+12", PasswordVerdict::NotDecimal}, Case{"1 2", PasswordVerdict::NotDecimal},
                          Case{"  ", PasswordVerdict::NotDecimal}, Case{"\u0661\u0662", PasswordVerdict::NotDecimal}}) {
        EXPECT_EQ(storePassword(t, c.text), c.verdict) << c.text;
        EXPECT_EQ(t, before) << c.text;
    }
}
