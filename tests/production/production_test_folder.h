#pragma once
#include "support/unique_folder.h"

#include <filesystem>
#include <fstream>
#include <string>

namespace px316t::testing {

// A fresh temporary folder, removed at the end of the test.
class ProductionFolder {
public:
    ProductionFolder()
    {
        std::string pattern = (std::filesystem::temp_directory_path() / "px316t-production-XXXXXX").string();
        if (px316t::test::makeUniqueFolder(pattern))
            path_ = pattern;
    }
    ~ProductionFolder()
    {
        std::error_code ignored;
        if (!path_.empty())
            std::filesystem::remove_all(path_, ignored);
    }
    ProductionFolder(const ProductionFolder&) = delete;
    ProductionFolder& operator=(const ProductionFolder&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

inline std::string fileBytes(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

} // namespace px316t::testing
