#pragma once
// A registry backend held in memory that only knows the serial-port key, so the
// link tests can list exactly the ports they need without a store on disk.
#include "registry/cls_registry_access.h"
#include "registry/registry_backend.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <string>
#include <variant>
#include <vector>

namespace px316t::testing {

class MemorySerialCommBackend final : public RegistryBackend {
public:
    struct Entry {
        std::string name;
        std::variant<std::string, std::uint32_t> data;   // "COMn", or a DWORD
    };

    std::vector<Entry> entries;
    bool keyMissing = false;

    void setPorts(std::initializer_list<int> comNumbers)
    {
        entries.clear();
        for (const int n : comNumbers)
            addPort(n);
    }
    void addPort(int comNumber)
    {
        entries.push_back({"/dev/fake" + std::to_string(comNumber), "COM" + std::to_string(comNumber)});
    }
    void removePort(int comNumber)
    {
        const std::string data = "COM" + std::to_string(comNumber);
        std::erase_if(entries, [&](const Entry& e) {
            const auto* s = std::get_if<std::string>(&e.data);
            return s && *s == data;
        });
    }

    long openKey(std::uint32_t root, const std::string& subPath, RegAccess, bool, std::uint32_t& key) override
    {
        if (keyMissing || root != HKEY_LOCAL_MACHINE_HANDLE || !sameText(subPath, "HARDWARE\\DEVICEMAP\\SERIALCOMM"))
            return REG_ERROR_FILE_NOT_FOUND;
        key = 1;
        return REG_ERROR_SUCCESS;
    }
    long closeKey(std::uint32_t) override { return REG_ERROR_SUCCESS; }
    long deleteKey(std::uint32_t) override { return REG_ERROR_ACCESS_DENIED; }
    long enumKey(std::uint32_t, std::uint32_t, std::string&) override { return REG_ERROR_NO_MORE_ITEMS; }
    long enumValue(std::uint32_t, std::uint32_t index, std::string& name, std::uint32_t& type,
                   std::string& data) override
    {
        if (index >= entries.size())
            return REG_ERROR_NO_MORE_ITEMS;
        name = entries[index].name;
        encode(entries[index], type, data);
        return REG_ERROR_SUCCESS;
    }
    long queryValue(std::uint32_t, const std::string& name, std::uint32_t& type, std::string& data) override
    {
        for (const Entry& e : entries) {
            if (sameText(e.name, name)) {
                encode(e, type, data);
                return REG_ERROR_SUCCESS;
            }
        }
        return REG_ERROR_FILE_NOT_FOUND;
    }
    long setValue(std::uint32_t, const std::string&, std::uint32_t, const std::string&) override
    {
        return REG_ERROR_ACCESS_DENIED;
    }
    long deleteValue(std::uint32_t, const std::string&) override { return REG_ERROR_ACCESS_DENIED; }

private:
    static bool sameText(const std::string& a, const std::string& b)
    {
        return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
                   return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
               });
    }
    static void encode(const Entry& e, std::uint32_t& type, std::string& data)
    {
        if (const auto* s = std::get_if<std::string>(&e.data)) {
            type = REG_TYPE_SZ;
            data = *s + '\0';
        } else {
            const std::uint32_t v = std::get<std::uint32_t>(e.data);
            type = REG_TYPE_DWORD;
            data = std::string{static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF),
                               static_cast<char>((v >> 16) & 0xFF), static_cast<char>((v >> 24) & 0xFF)};
        }
    }
};

// A registry object over a MemorySerialCommBackend the test keeps a handle to.
struct MemoryRegistry {
    std::shared_ptr<MemorySerialCommBackend> backend = std::make_shared<MemorySerialCommBackend>();
    clsRegistryAccess registry{backend};
};

} // namespace px316t::testing
