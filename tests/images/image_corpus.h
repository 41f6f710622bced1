#pragma once
// The image corpus: table files every face and rule is run against. The
// files in this folder are real table files, committed; they were made by
// make_image_corpus (see README.md there) and are read, never written, by the
// tests.
#include "table/pager_table.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace px316t::testing {

struct CorpusImage {
    std::string name;                 // the file name without ".tbl"
    std::filesystem::path path;
    PagerTable bytes{};
};

// Every *.tbl of the corpus folder, in name order.
inline std::vector<CorpusImage> imageCorpus()
{
    std::vector<CorpusImage> corpus;
    for (const auto& entry : std::filesystem::directory_iterator(PX316T_IMAGE_CORPUS)) {
        if (entry.path().extension() != ".tbl")
            continue;
        CorpusImage image{entry.path().stem().string(), entry.path()};
        std::ifstream in(entry.path(), std::ios::binary);
        const std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::copy_n(bytes.begin(), std::min<std::size_t>(bytes.size(), PagerTableSize), image.bytes.begin());
        corpus.push_back(std::move(image));
    }
    std::sort(corpus.begin(), corpus.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    return corpus;
}

// The corpus's file names, for parameterised tests.
inline std::vector<std::string> imageCorpusNames()
{
    std::vector<std::string> names;
    for (const CorpusImage& image : imageCorpus())
        names.push_back(image.name);
    return names;
}

// A corpus file's name as a test name (letters and digits only).
inline std::string corpusTestName(const ::testing::TestParamInfo<std::string>& info)
{
    std::string name = info.param;
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return name;
}

inline CorpusImage corpusImage(const std::string& name)
{
    for (CorpusImage& image : imageCorpus())
        if (image.name == name)
            return image;
    return {};
}

} // namespace px316t::testing
