#include "editor/prompt_rules.h"

#include "table/memory_map.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <unordered_map>

#ifdef _WIN32
#include <windows.h>
#include <winnls.h>
#else
#include <iconv.h>
#include <unicode/unorm2.h>
#include <unicode/ustring.h>
#endif

namespace px316t {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// ---- UTF-8 ------------------------------------------------------------------

// Code points of a UTF-8 text; each byte of a malformed sequence (overlong forms,
// surrogates, values beyond U+10FFFF, cut sequences) is one U+FFFD.
std::u32string decodeUtf8(std::string_view text)
{
    std::u32string out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        int extra = 0;
        char32_t cp = 0;
        char32_t minimum = 0;
        if (b0 < 0x80) {
            out.push_back(b0);
            ++i;
            continue;
        }
        if ((b0 & 0xE0) == 0xC0) { extra = 1; cp = b0 & 0x1F; minimum = 0x80; }
        else if ((b0 & 0xF0) == 0xE0) { extra = 2; cp = b0 & 0x0F; minimum = 0x800; }
        else if ((b0 & 0xF8) == 0xF0) { extra = 3; cp = b0 & 0x07; minimum = 0x10000; }
        else { out.push_back(kReplacement); ++i; continue; }
        bool ok = i + static_cast<std::size_t>(extra) < text.size();
        for (int k = 1; ok && k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if ((b & 0xC0) != 0x80)
                ok = false;
            else
                cp = (cp << 6) | (b & 0x3F);
        }
        if (!ok || cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            out.push_back(kReplacement);
            ++i;
            continue;
        }
        out.push_back(cp);
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

void appendUtf8(std::string& out, char32_t cp)
{
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::string encodeUtf8(std::u32string_view text)
{
    std::string out;
    for (char32_t cp : text)
        appendUtf8(out, cp);
    return out;
}

// ---- Windows-1252 -----------------------------------------------------------

// The character of one code-page byte as the system's converter gives it, or
// nothing for a byte the code page leaves unassigned.
std::optional<char32_t> converterCharacter(std::uint8_t byte)
{
#ifdef _WIN32
    const char in = static_cast<char>(byte);
    wchar_t out = 0;
    if (MultiByteToWideChar(1252, MB_ERR_INVALID_CHARS, &in, 1, &out, 1) != 1)
        return std::nullopt;
    return static_cast<char32_t>(out);
#else
    static const iconv_t cd = iconv_open("UTF-32LE", "WINDOWS-1252");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return std::nullopt;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    char in = static_cast<char>(byte);
    unsigned char out[8] = {};
    char* inPtr = &in;
    char* outPtr = reinterpret_cast<char*>(out);
    std::size_t inLeft = 1;
    std::size_t outLeft = sizeof out;
    if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || outLeft != 4)
        return std::nullopt;
    return static_cast<char32_t>(out[0] | (out[1] << 8) | (out[2] << 16) | (static_cast<char32_t>(out[3]) << 24));
#endif
}

// The code page both ways, built once from the converter.
struct CodePage {
    std::array<char32_t, 256> character{};
    std::unordered_map<char32_t, std::uint8_t> byte;

    CodePage()
    {
        for (int b = 0; b < 256; ++b) {
            const auto c = converterCharacter(static_cast<std::uint8_t>(b));
            // Unassigned bytes keep their number as a control character; without a
            // converter at all, ASCII still holds and the rest reads as Latin-1.
            character[b] = c.value_or(static_cast<char32_t>(b));
            byte.emplace(character[b], static_cast<std::uint8_t>(b));
        }
    }
};

const CodePage& codePage()
{
    static const CodePage page;
    return page;
}

std::size_t leadingSpaces(std::u32string_view s)
{
    std::size_t n = 0;
    while (n < s.size() && s[n] == U' ')
        ++n;
    return n;
}

std::u32string_view trimSpaces(std::u32string_view s)
{
    s.remove_prefix(leadingSpaces(s));
    while (!s.empty() && s.back() == U' ')
        s.remove_suffix(1);
    return s;
}

bool validPrompt(int n) { return n >= 0 && n <= LastPrompt; }

} // namespace

std::string windows1252ToUtf8(std::span<const std::uint8_t> bytes)
{
    const CodePage& page = codePage();
    std::string out;
    for (std::uint8_t b : bytes)
        appendUtf8(out, page.character[b]);
    return out;
}

std::vector<std::uint8_t> utf8ToWindows1252(std::string_view text)
{
    const CodePage& page = codePage();
    std::vector<std::uint8_t> out;
    for (char32_t cp : decodeUtf8(text)) {
        const auto found = page.byte.find(cp);
        out.push_back(found != page.byte.end() ? found->second : static_cast<std::uint8_t>('?'));
    }
    return out;
}

int characterCount(std::string_view text) { return static_cast<int>(decodeUtf8(text).size()); }

namespace {

// UTF-16 of well-formed code points (surrogates never occur in them).
std::u16string toUtf16(std::u32string_view text)
{
    std::u16string out;
    for (char32_t cp : text) {
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

std::u32string fromUtf16(std::u16string_view text)
{
    std::u32string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t u = text[i];
        if (u >= 0xD800 && u < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000) {
            out.push_back(0x10000 + ((u - 0xD800) << 10) + (text[i + 1] - 0xDC00));
            ++i;
        } else {
            out.push_back(u);
        }
    }
    return out;
}

// The escapes of escapedText for one character; empty when it shows as itself.
std::string escapeOf(char32_t cp)
{
    switch (cp) {
    case U'\\': return "\\\\";
    case U'\n': return "\\n";
    case U'\r': return "\\r";
    case U'\t': return "\\t";
    default: break;
    }
    const bool hidden = cp < 0x20 || (cp >= 0x7F && cp <= 0x9F) || cp == 0xA0 || cp == 0xAD;
    if (!hidden)
        return {};
    static const char digits[] = "0123456789ABCDEF";
    return {'\\', 'x', digits[cp >> 4], digits[cp & 0x0F]};
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

std::string composedText(std::string_view text)
{
    const std::u32string decoded = decodeUtf8(text);
    if (decoded.empty())
        return {};
    const std::u16string source = toUtf16(decoded);
#ifdef _WIN32
    const std::wstring wide(source.begin(), source.end());
    int size = NormalizeString(NormalizationC, wide.data(), static_cast<int>(wide.size()), nullptr, 0);
    for (int attempt = 0; size > 0 && attempt < 3; ++attempt) {
        std::wstring out(static_cast<std::size_t>(size), L'\0');
        const int written = NormalizeString(NormalizationC, wide.data(), static_cast<int>(wide.size()), out.data(), size);
        if (written > 0)
            return encodeUtf8(fromUtf16(std::u16string(out.begin(), out.begin() + written)));
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER)
            break;
        size = -written;   // the estimate the call gives back
    }
    return encodeUtf8(decoded);
#else
    UErrorCode status = U_ZERO_ERROR;
    const UNormalizer2* nfc = unorm2_getNFCInstance(&status);
    if (U_FAILURE(status))
        return encodeUtf8(decoded);
    std::u16string out(source.size(), u'\0');
    auto normalize = [&] {
        status = U_ZERO_ERROR;
        return unorm2_normalize(nfc, reinterpret_cast<const UChar*>(source.data()), static_cast<int32_t>(source.size()),
                                reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()), &status);
    };
    int32_t written = normalize();
    if (status == U_BUFFER_OVERFLOW_ERROR) {   // a few characters grow
        out.resize(static_cast<std::size_t>(written));
        written = normalize();
    }
    if (U_FAILURE(status))
        return encodeUtf8(decoded);
    out.resize(static_cast<std::size_t>(written));
    return encodeUtf8(fromUtf16(out));
#endif
}

std::optional<std::string> characterOutsideCodePage(std::string_view text)
{
    const CodePage& page = codePage();
    for (char32_t cp : decodeUtf8(text))
        if (!page.byte.count(cp))
            return encodeUtf8(std::u32string(1, cp));
    return std::nullopt;
}

std::string characterName(std::string_view text)
{
    const std::u32string decoded = decodeUtf8(text);
    const char32_t cp = decoded.empty() ? U'\uFFFD' : decoded.front();
    char number[16];
    std::snprintf(number, sizeof number, "U+%04X", static_cast<unsigned>(cp));
    const bool invisible = cp <= 0x20 || (cp >= 0x7F && cp <= 0xA0) || cp == 0xAD || (cp >= 0x0300 && cp <= 0x036F) ||
                           (cp >= 0x2000 && cp <= 0x200F) || (cp >= 0x2028 && cp <= 0x202F) ||
                           (cp >= 0x205F && cp <= 0x206F) || cp == 0x3000 || cp == 0xFEFF ||
                           (cp >= 0xFE00 && cp <= 0xFE0F);
    if (invisible)
        return number;
    return encodeUtf8(std::u32string(1, cp)) + " (" + number + ")";
}

std::string escapedText(std::string_view text)
{
    std::string out;
    for (char32_t cp : decodeUtf8(text)) {
        const std::string escape = escapeOf(cp);
        if (escape.empty())
            appendUtf8(out, cp);
        else
            out += escape;
    }
    return out;
}

std::optional<std::string> unescapedText(std::string_view text)
{
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i >= text.size())
            return std::nullopt;
        switch (text[i]) {
        case '\\': out.push_back('\\'); break;
        case 'n': out.push_back('\n'); break;
        case 'r': out.push_back('\r'); break;
        case 't': out.push_back('\t'); break;
        case 'x': {
            const int high = i + 1 < text.size() ? hexDigit(text[i + 1]) : -1;
            const int low = i + 2 < text.size() ? hexDigit(text[i + 2]) : -1;
            if (high < 0 || low < 0)
                return std::nullopt;
            appendUtf8(out, static_cast<char32_t>(high * 16 + low));
            i += 2;
            break;
        }
        default:
            return std::nullopt;
        }
    }
    return out;
}

std::string readPromptText(const PagerTable& table, int n)
{
    if (!validPrompt(n))
        return {};
    const int at = promptRecordOffset(n);
    const int code = table[at] & 0x0F;
    const int length = std::min<int>(table[at + 1], PromptMaxChars);
    std::string text(code > 1 ? code - 1 : 0, ' ');
    text += windows1252ToUtf8(std::span<const std::uint8_t>(table.data() + at + 2, length));
    return text;
}

void commitPromptText(PagerTable& table, int n, std::string_view text)
{
    if (!validPrompt(n))
        return;
    const std::u32string s = decodeUtf8(text);
    const int spaces = static_cast<int>(leadingSpaces(s));
    const int code = std::min(spaces, PromptMaxLeadingSpaces) + 1;

    std::u32string_view t = trimSpaces(s);
    // Only the first 18 characters fit; spaces that end up last are not kept.
    t = trimSpaces(t.substr(0, PromptMaxChars));
    const std::vector<std::uint8_t> bytes = utf8ToWindows1252(encodeUtf8(t));

    const int at = promptRecordOffset(n);
    table[at] = static_cast<std::uint8_t>((table[at] & 0xF0) | code);
    table[at + 1] = static_cast<std::uint8_t>(bytes.size());
    std::copy(bytes.begin(), bytes.end(), table.begin() + at + 2);
}

void restoreDefaultPrompt(PagerTable& table, int n)
{
    if (!validPrompt(n))
        return;
    const auto& english = PromptSet(PromptLanguage::English);
    std::copy_n(english.begin() + PromptRecordSize * n, PromptRecordSize, table.begin() + promptRecordOffset(n));
}

std::string alignPromptText(std::string_view text, PromptAlignment alignment, int maxLength)
{
    const std::u32string s = decodeUtf8(text);
    const std::u32string_view t = trimSpaces(s);
    const int room = std::max(0, maxLength - static_cast<int>(t.size()));
    int pad = 0;
    switch (alignment) {
    case PromptAlignment::Left: pad = 0; break;
    case PromptAlignment::Center: pad = room / 2; break;
    case PromptAlignment::Right: pad = room; break;
    }
    return std::string(pad, ' ') + encodeUtf8(t);
}

namespace {
// U+2400 .. U+241F in UTF-8: E2 90 80 .. E2 90 9F.
constexpr unsigned char kPictureLead0 = 0xE2;
constexpr unsigned char kPictureLead1 = 0x90;
constexpr unsigned char kPictureFirst = 0x80;
} // namespace

std::string withControlPictures(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    // A byte below 0x20 is never part of a longer UTF-8 sequence.
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x20) {
            out.push_back(static_cast<char>(kPictureLead0));
            out.push_back(static_cast<char>(kPictureLead1));
            out.push_back(static_cast<char>(kPictureFirst + b));
        } else {
            out.push_back(c);
        }
    }
    return out;
}

std::string withoutControlPictures(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i + 2 < text.size() && static_cast<unsigned char>(text[i]) == kPictureLead0
            && static_cast<unsigned char>(text[i + 1]) == kPictureLead1) {
            const auto last = static_cast<unsigned char>(text[i + 2]);
            if (last >= kPictureFirst && last < kPictureFirst + 0x20) {
                out.push_back(static_cast<char>(last - kPictureFirst));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::string pastedPromptText(std::string_view text)
{
    const std::string_view line = text.substr(0, text.find_first_of("\r\n"));
    std::string out;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (static_cast<unsigned char>(line[i]) < 0x20)
            continue;
        // A control picture pasted from elsewhere would be stored as the byte it
        // pictures; it is dropped like that byte, and so are the pictures of
        // the space and DEL (U+2420, U+2421), which the code page has no byte for.
        if (i + 2 < line.size() && static_cast<unsigned char>(line[i]) == kPictureLead0 &&
            static_cast<unsigned char>(line[i + 1]) == kPictureLead1 &&
            static_cast<unsigned char>(line[i + 2]) >= kPictureFirst &&
            static_cast<unsigned char>(line[i + 2]) <= kPictureFirst + 0x21) {
            i += 2;
            continue;
        }
        out.push_back(line[i]);
    }
    return out;
}

std::optional<PromptLanguage> promptLanguageFromCode(std::uint8_t code)
{
    for (auto language : {PromptLanguage::English, PromptLanguage::Spanish, PromptLanguage::French,
                          PromptLanguage::Portuguese})
        if (promptLanguageCode(language) == code)
            return language;
    return std::nullopt;
}

std::optional<PromptLanguage> storedPromptLanguage(const PagerTable& table)
{
    return promptLanguageFromCode(map::read(table, map::PromptLanguage));
}

void loadPromptLanguage(PagerTable& table, PromptLanguage language)
{
    const std::uint8_t code = promptLanguageCode(language);
    map::write(table, map::PromptLanguageCopy, code);
    map::write(table, map::PromptLanguage, code);
    const auto& set = PromptSet(language);
    std::copy(set.begin(), set.end(), table.begin() + PromptRegionStart);
}

} // namespace px316t
