// Prompts and password by name, with the window's rules and refusals.
#include "editor/field_catalog.h"
#include "editor/pager_document.h"
#include "table/builtin_tables.h"

#include <gtest/gtest.h>

namespace px316t {
namespace {

SetResult setField(PagerDocument& s, const std::string& name, const std::string& value)
{
    const FieldEntry* e = fieldCatalog().find(name);
    EXPECT_NE(e, nullptr) << name;
    return e ? e->set(s, value) : SetResult{SetOutcome::BadValue, "no field"};
}

TEST(FieldCatalogPrompts, PasswordAndPromptsStoreByTheWindowsRulesOrChangeNothing)
{
    PagerDocument s(makeDefaultPagerTable());
    const PagerTable& image = s.image();
    EXPECT_EQ(setField(s, "password", "7").outcome, SetOutcome::Changed);
    EXPECT_EQ(fieldCatalog().find("password")->show(s), "0007");

    const PagerTable before = image;
    const SetResult tooLong = setField(s, "password", "12345");
    EXPECT_EQ(tooLong.outcome, SetOutcome::Refused);
    EXPECT_EQ(tooLong.message, "Please insert a number between 0000 to 9999");
    EXPECT_EQ(setField(s, "password", "1e3").message, "Please insert a decimal numeric!");
    EXPECT_EQ(setField(s, "prompt.28", std::string(21, 'x')).outcome, SetOutcome::BadValue);
    EXPECT_EQ(setField(s, "prompt_language", "Klingon").outcome, SetOutcome::BadValue);
    EXPECT_EQ(image, before);

    EXPECT_EQ(setField(s, "prompt.28", "   HELLO  ").outcome, SetOutcome::Changed);
    EXPECT_EQ(fieldCatalog().find("prompt.28")->show(s), "   HELLO");
    EXPECT_TRUE(std::equal(image.begin() + 0x344, image.end(), before.begin() + 0x344))
        << "nothing after the last record changes";
    const PagerTable edited = image;
    EXPECT_EQ(setField(s, "prompt_language", "English").outcome, SetOutcome::Changed);
    EXPECT_EQ(image, edited) << "the language shown already keeps the edited prompts";
    EXPECT_EQ(setField(s, "prompt_language", "spainish").outcome, SetOutcome::Changed);
    EXPECT_EQ(fieldCatalog().find("prompt_language")->show(s), "Spainish");
}

} // namespace
} // namespace px316t
