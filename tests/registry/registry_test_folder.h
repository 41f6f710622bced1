#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "registry/cls_registry_access.h"
#include "registry/registry_backend.h"

namespace px316t::test {

// A fresh folder below the system's temporary folder, removed again at the end of a test,
// holding the store file and the configuration folder so no test touches the user's own.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "px316t-registry-XXXXXX").string();
        if (::mkdtemp(pattern.data())) m_path = pattern;
    }
    ~TempFolder() {
        std::error_code ec;
        if (!m_path.empty()) std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return m_path; }

private:
    std::filesystem::path m_path;
};

inline PortableRegistryOptions isolatedOptions(const TempFolder& folder) {
    PortableRegistryOptions options;
    options.storeFile = folder.path() / "data" / "px316t" / "registry.sqlite";
    options.ports.configHome = folder.path() / "config";
    options.ports.includeSystemPorts = false;
    return options;
}

inline void writeFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace px316t::test
