// The prompt, language, logo-font and password fields of the field catalogue.
#include "editor/field_catalog.h"

#include "editor/pager_document.h"
#include "editor/password_rules.h"
#include "editor/prompt_rules.h"

#include <algorithm>
#include <cctype>

namespace px316t {
namespace {

const std::vector<std::string> LanguageNames = {"English", "Spainish", "French", "Portuguese"};
const std::vector<std::string> LogoFontNames = {"Large Font", "Small Font"};

std::string lower(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return text;
}

std::optional<int> choice(const std::vector<std::string>& names, const std::string& value)
{
    for (std::size_t i = 0; i < names.size(); ++i)
        if (lower(names[i]) == lower(value))
            return static_cast<int>(i);
    return std::nullopt;
}

SetResult badChoice(const std::vector<std::string>& names)
{
    std::string list;
    for (const std::string& n : names)
        list += (list.empty() ? "" : ", ") + n;
    return {SetOutcome::BadValue, "one of: " + list};
}

std::vector<int> range(map::ByteRange r)
{
    std::vector<int> addresses;
    for (int i = 0; i < r.count; ++i)
        addresses.push_back(r.at(i));
    return addresses;
}

std::vector<int> recordAddresses(int n)
{
    std::vector<int> addresses(PromptRecordSize);
    for (int i = 0; i < PromptRecordSize; ++i)
        addresses[i] = promptRecordOffset(n) + i;
    return addresses;
}

LogoFont storedLogoFont(const PagerTable& table)
{
    return map::read(table, map::LogoFont) == static_cast<int>(LogoFont::Small) ? LogoFont::Small : LogoFont::Large;
}

std::string joined(const std::vector<std::string>& names)
{
    std::string text;
    for (const std::string& n : names)
        text += (text.empty() ? "" : ", ") + n;
    return text;
}

// Stores a box's text into record n; the prompt boxes show the records again.
void storePrompt(PagerDocument& s, int n, const std::string& text)
{
    commitPromptText(s.table(), n, text);
    s.announce(DocumentChange::Prompts);
}

FieldEntry promptField(int n)
{
    FieldEntry e;
    e.name = n == LogoPrompt ? "prompt.logo" : "prompt." + std::to_string(n);
    e.addresses = recordAddresses(n);
    e.values = n == LogoPrompt
                   ? "the logo as its box shows it: at most " + std::to_string(logoMaxLength(LogoFont::Large))
                         + " characters in Large Font, " + std::to_string(logoMaxLength(LogoFont::Small))
                         + " in Small Font"
                   : "the text as its box shows it: at most " + std::to_string(PromptBoxMaxLength)
                         + " characters; leading spaces kept (at most 14), trailing spaces dropped, at most 18 "
                           "characters stored";
    e.show = [n](const PagerDocument& s) { return readPromptText(s.table(), n); };
    e.set = [n](PagerDocument& s, const std::string& value) -> SetResult {
        // Composed as the window stores a typed text; a character the pager's
        // code page has no byte for is refused, where the window stores "?".
        const std::string text = composedText(value);
        if (const auto outside = characterOutsideCodePage(text))
            return {SetOutcome::BadValue,
                    "the pager's code page (Windows-1252) has no character " + characterName(*outside)};
        // What the box takes from the keyboard; the window cuts a longer paste,
        // a script is told instead.
        const int limit = n == LogoPrompt ? logoMaxLength(storedLogoFont(s.table())) : PromptBoxMaxLength;
        if (characterCount(text) > limit)
            return {SetOutcome::BadValue, "at most " + std::to_string(limit) + " characters"};
        storePrompt(s, n, text);
        return {};
    };
    e.commit = [n](PagerDocument& s, const std::string& text) { storePrompt(s, n, text); };
    e.restoreDefault = [n](PagerDocument& s) {
        restoreDefaultPrompt(s.table(), n);
        s.announce(DocumentChange::Prompts);
    };
    return e;
}

} // namespace

void addPromptAndPasswordFields(FieldCatalog& catalog)
{
    FieldEntry language;
    language.name = "prompt_language";
    language.addresses = {map::PromptLanguageCopy.byte, map::PromptLanguage.byte};
    language.items = LanguageNames;
    language.values = joined(LanguageNames) + " (setting it loads that language's whole prompt set)";
    language.show = [](const PagerDocument& s) {
        if (const auto l = storedPromptLanguage(s.table()))
            return LanguageNames[static_cast<int>(*l)];
        return "(" + std::to_string(map::read(s.table(), map::PromptLanguage)) + ")";
    };
    // Choosing a language loads its whole built-in set, as the window's selector does;
    // the language it already shows changes nothing, so edited prompts stay.
    language.set = [](PagerDocument& s, const std::string& value) -> SetResult {
        const auto index = choice(LanguageNames, value);
        if (!index)
            return badChoice(LanguageNames);
        if (storedPromptLanguage(s.table()) == static_cast<PromptLanguage>(*index))
            return {};
        loadPromptLanguage(s.table(), static_cast<PromptLanguage>(*index));
        s.announce(DocumentChange::Prompts);
        return {};
    };
    catalog.add(std::move(language));

    FieldEntry logoFont;
    logoFont.name = "logo_font";
    logoFont.addresses = {map::LogoFont.byte};
    logoFont.items = LogoFontNames;
    logoFont.tag = fieldTagText(map::LogoFont, "Lng");
    logoFont.values = joined(LogoFontNames);
    logoFont.show = [](const PagerDocument& s) {
        const int v = map::read(s.table(), map::LogoFont);
        return v == 0 ? LogoFontNames[0] : v == 2 ? LogoFontNames[1] : "(" + std::to_string(v) + ")";
    };
    logoFont.set = [](PagerDocument& s, const std::string& value) -> SetResult {
        const auto index = choice(LogoFontNames, value);
        if (!index)
            return badChoice(LogoFontNames);
        map::write(s.table(), map::LogoFont, static_cast<int>(*index == 0 ? LogoFont::Large : LogoFont::Small));
        return {};
    };
    catalog.add(std::move(logoFont));

    for (int n = LogoPrompt; n <= LastPrompt; ++n)
        catalog.add(promptField(n));

    FieldEntry password;
    password.name = "password";
    password.addresses = range(map::Password);
    password.values = "one to four digits, stored one per byte (7 stores 0007)";
    password.show = [](const PagerDocument& s) { return readPassword(s.table()); };
    password.set = [](PagerDocument& s, const std::string& value) -> SetResult {
        switch (storePassword(s.table(), value)) {
        case PasswordVerdict::Accepted:
            return {};
        case PasswordVerdict::Empty:
            return {SetOutcome::BadValue, "a password of one to four digits"};
        case PasswordVerdict::NotDecimal:
        case PasswordVerdict::OutOfRange:
            break;
        }
        return {SetOutcome::Refused, std::string(passwordMessage(checkPassword(value)))};
    };
    catalog.add(std::move(password));
}

} // namespace px316t
