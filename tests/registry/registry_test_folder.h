#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <map>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "registry/cls_registry_access.h"
#include "registry/registry_backend.h"
#include "support/unique_folder.h"

namespace px316t::test {

// A fresh folder below the system's temporary folder, removed again at the end of a test,
// holding the store file and the configuration folder so no test touches the user's own.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "px316t-registry-XXXXXX").string();
        if (makeUniqueFolder(pattern)) m_path = pattern;
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

// The registry tests run against every backend of the platform: the portable store,
// and on Windows the system's registry too. The system's registry is only used when
// PX316T_TEST_WINDOWS_REGISTRY=1 says the tests run in a throw-away registry (a
// temporary wine prefix); the keys a test adds are deleted again after it.
enum class Backend { Portable, Windows };

inline std::vector<Backend> testedBackends() {
#ifdef _WIN32
    return {Backend::Portable, Backend::Windows};
#else
    return {Backend::Portable};
#endif
}

inline std::string backendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Portable ? "Portable" : "Windows";
}

class BackendFixture : public ::testing::TestWithParam<Backend> {
protected:
    void SetUp() override {
        if (windows()) {
            const char* allowed = std::getenv("PX316T_TEST_WINDOWS_REGISTRY");
            if (!allowed || std::string(allowed) != "1")
                GTEST_SKIP() << "the system's registry is tested only in a throw-away registry "
                                "(PX316T_TEST_WINDOWS_REGISTRY=1)";
            for (const char* parent : kParents) m_before[parent] = keysBelow(parent);
        }
    }
    void TearDown() override {
        if (!windows() || m_before.empty()) return;
        for (const char* parent : kParents) {
            for (const auto& name : keysBelow(parent))
                if (!m_before[parent].count(name)) reg.KillKey(std::string(parent) + "\\" + name);
        }
    }

    bool windows() const { return GetParam() == Backend::Windows; }

    std::shared_ptr<RegistryBackend> makeBackend() {
#ifdef _WIN32
        if (GetParam() == Backend::Windows) return makeWindowsRegistryBackend();
#endif
        return makePortableRegistryBackend(isolatedOptions(folder));
    }

    TempFolder folder;
    clsRegistryAccess reg{makeBackend()};

private:
    static constexpr const char* kParents[] = {"HKCU", "HKCU\\Software", "HKLM\\Software"};

    std::set<std::string> keysBelow(const char* parent) {
        std::vector<std::string> names;
        reg.EnumKeys(parent, names);
        return {names.begin(), names.end()};
    }

    std::map<std::string, std::set<std::string>> m_before;
};

inline void writeFile(const std::filesystem::path& file, const std::string& bytes) {
    std::ofstream out(file, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string readFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

}  // namespace px316t::test
