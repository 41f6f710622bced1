#pragma once
// A fresh folder for a test, named from a pattern that ends in XXXXXX, as
// mkdtemp makes it (the Windows runtime has no mkdtemp).
#include <filesystem>
#include <random>
#include <string>

#ifndef _WIN32
#include <stdlib.h>
#endif

namespace px316t::test {

inline bool makeUniqueFolder(std::string& pattern)
{
#ifdef _WIN32
    static constexpr char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::random_device seed;
    std::mt19937 random(seed());
    if (pattern.size() < 6)
        return false;
    for (int attempt = 0; attempt < 100; ++attempt) {
        for (std::size_t i = pattern.size() - 6; i < pattern.size(); ++i)
            pattern[i] = letters[random() % (sizeof letters - 1)];
        std::error_code ec;
        if (std::filesystem::create_directory(pattern, ec))
            return true;
        if (ec)
            return false;
    }
    return false;
#else
    return ::mkdtemp(pattern.data()) != nullptr;
#endif
}

} // namespace px316t::test
