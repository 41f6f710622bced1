#include "production/image_summary.h"

#include "editor/capcode_codec.h"
#include "editor/capcode_display.h"

#ifdef _WIN32
// clang-format off
#include <windows.h>
#include <bcrypt.h>
// clang-format on
#else
#include <openssl/evp.h>
#endif

namespace px316t {

namespace {

#ifdef _WIN32
// The system's own SHA-256 (Cryptography API: Next Generation); false on failure.
bool sha256(const std::uint8_t* data, std::size_t size, unsigned char (&digest)[32], unsigned int& length)
{
    length = 0;
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)))
        return false;
    bool ok = true;
    // One call per piece: BCryptHashData takes at most 4 GiB at a time.
    BCRYPT_HASH_HANDLE hash = nullptr;
    ok = BCRYPT_SUCCESS(BCryptCreateHash(algorithm, &hash, nullptr, 0, nullptr, 0, 0));
    while (ok && size > 0) {
        const ULONG piece = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
        ok = BCRYPT_SUCCESS(BCryptHashData(hash, const_cast<PUCHAR>(data), piece, 0));
        data += piece;
        size -= piece;
    }
    ok = ok && BCRYPT_SUCCESS(BCryptFinishHash(hash, digest, sizeof digest, 0));
    if (hash)
        BCryptDestroyHash(hash);
    BCryptCloseAlgorithmProvider(algorithm, 0);
    if (ok)
        length = sizeof digest;
    return ok;
}
#else
bool sha256(const std::uint8_t* data, std::size_t size, unsigned char (&digest)[EVP_MAX_MD_SIZE],
            unsigned int& length)
{
    return EVP_Digest(data, size, digest, &length, EVP_sha256(), nullptr) == 1;
}
#endif

} // namespace

std::string sha256Hex(const std::uint8_t* data, std::size_t size)
{
#ifdef _WIN32
    unsigned char digest[32];
#else
    unsigned char digest[EVP_MAX_MD_SIZE];
#endif
    unsigned int length = 0;
    if (!sha256(data, size, digest, length))
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
