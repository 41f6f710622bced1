#include "production/image_summary.h"

#include "editor/capcode_codec.h"
#include "editor/capcode_display.h"

#include <openssl/evp.h>

namespace px316t {

std::string sha256Hex(const std::uint8_t* data, std::size_t size)
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr) != 1)
        return {};
    static constexpr char hex[] = "0123456789abcdef";
    std::string text;
    text.reserve(length * 2);
    for (unsigned int i = 0; i < length; ++i) {
        text.push_back(hex[digest[i] >> 4]);
        text.push_back(hex[digest[i] & 0x0F]);
    }
    return text;
}

ImageSummary summarizeImage(const PagerTable& table)
{
    ImageSummary summary;
    const auto shown = shownCapcodes(table, pairLengthsOf(table));
    if (shown[0])
        summary.firstCapcode = shown[0]->value;
    for (int k = 0; k < static_cast<int>(shown.size()); ++k)
        if (shown[k] && capcodeEnabled(table, k))
            summary.enabledCapcodes.push_back(shown[k]->value);
    summary.frequencyHz = std::int64_t(readBigEndian32(table, 0xF4)) * 100;
    summary.sha256 = sha256Hex(table.data(), table.size());
    return summary;
}

} // namespace px316t
