// The Windows registry through its ANSI functions, and its wide ones for UTF-8
// text. Only a Windows build compiles this file.

#ifdef _WIN32

#include <windows.h>

#include <algorithm>
#include <map>
#include <string>
#include <mutex>
#include <set>
#include <vector>

#include "registry/cls_registry_access.h"
#include "registry/registry_backend.h"

namespace px316t {

namespace {

REGSAM samFor(RegAccess access) {
    switch (access) {
        case RegAccess::Read:
            return KEY_READ;
        case RegAccess::Write:
            return KEY_WRITE;
        case RegAccess::Full:
            break;
    }
    return KEY_ALL_ACCESS;
}

// Deletes every subkey below an opened key; RegDeleteKeyA itself refuses keys with subkeys.
LONG deleteSubkeys(HKEY key) {
    for (;;) {
        char name[256];
        DWORD length = sizeof name;
        LONG rc = RegEnumKeyExA(key, 0, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        HKEY child = nullptr;
        rc = RegOpenKeyExA(key, name, 0, KEY_ALL_ACCESS, &child);
        if (rc != ERROR_SUCCESS) return rc;
        rc = deleteSubkeys(child);
        RegCloseKey(child);
        if (rc != ERROR_SUCCESS) return rc;
        rc = RegDeleteKeyA(key, name);
        if (rc != ERROR_SUCCESS) return rc;
    }
}

std::wstring wideFromUtf8(const std::string& utf8) {
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return wide;
}

std::string utf8FromWide(const wchar_t* wide, std::size_t length) {
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, static_cast<int>(length), utf8.data(), size, nullptr, nullptr);
    return utf8;
}

class WindowsRegistryBackend final : public RegistryBackend {
public:
    ~WindowsRegistryBackend() override {
        for (auto& [id, key] : m_open) RegCloseKey(key);
    }

    long openKey(std::uint32_t root, const std::string& subPath, RegAccess access, bool create,
                 std::uint32_t& key) override {
        key = 0;
        HKEY rootKey = reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG>(root)));
        HKEY opened = nullptr;
        const LONG rc = create ? RegCreateKeyA(rootKey, subPath.c_str(), &opened)
                               : RegOpenKeyExA(rootKey, subPath.c_str(), 0, samFor(access), &opened);
        if (rc != ERROR_SUCCESS) return rc;
        std::lock_guard lock(m_mutex);
        do {
            ++m_next;
        } while (m_next == 0 || m_open.count(m_next));
        m_open.emplace(m_next, opened);
        if (subPath.find_first_not_of('\\') == std::string::npos) m_roots.insert(m_next);
        key = m_next;
        return ERROR_SUCCESS;
    }

    long closeKey(std::uint32_t key) override {
        std::lock_guard lock(m_mutex);
        const auto it = m_open.find(key);
        if (it == m_open.end()) return ERROR_INVALID_HANDLE;
        const LONG rc = RegCloseKey(it->second);
        m_open.erase(it);
        m_roots.erase(key);
        return rc;
    }

    long deleteKey(std::uint32_t key) override {
        HKEY h = handle(key);
        if (!h) return ERROR_INVALID_HANDLE;
        // The subkeys go first, so deleting a root would empty it before failing.
        {
            std::lock_guard lock(m_mutex);
            if (m_roots.count(key)) return ERROR_ACCESS_DENIED;
        }
        const LONG rc = deleteSubkeys(h);
        if (rc != ERROR_SUCCESS) return rc;
        return RegDeleteKeyA(h, "");
    }

    long enumKey(std::uint32_t key, std::uint32_t index, std::string& name) override {
        HKEY h = handle(key);
        if (!h) return ERROR_INVALID_HANDLE;
        char buffer[256];
        DWORD length = sizeof buffer;
        const LONG rc = RegEnumKeyExA(h, index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_SUCCESS) name.assign(buffer, length);
        return rc;
    }

    long enumValue(std::uint32_t key, std::uint32_t index, std::string& name, std::uint32_t& type,
                   std::string& data) override {
        HKEY h = handle(key);
        if (!h) return ERROR_INVALID_HANDLE;
        DWORD maxName = 0;
        DWORD maxData = 0;
        LONG rc = RegQueryInfoKeyA(h, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                                   &maxData, nullptr, nullptr);
        if (rc != ERROR_SUCCESS) return rc;
        std::vector<char> nameBuffer(maxName + 1);
        std::vector<BYTE> dataBuffer(maxData + 1);
        DWORD nameLength = static_cast<DWORD>(nameBuffer.size());
        DWORD dataLength = static_cast<DWORD>(dataBuffer.size());
        DWORD valueType = 0;
        rc = RegEnumValueA(h, index, nameBuffer.data(), &nameLength, nullptr, &valueType, dataBuffer.data(),
                           &dataLength);
        if (rc != ERROR_SUCCESS) return rc;
        name.assign(nameBuffer.data(), nameLength);
        type = valueType;
        data.assign(reinterpret_cast<const char*>(dataBuffer.data()), dataLength);
        return ERROR_SUCCESS;
    }

    long queryValue(std::uint32_t key, const std::string& name, std::uint32_t& type, std::string& data) override {
        HKEY h = handle(key);
        if (!h) return ERROR_INVALID_HANDLE;
        DWORD valueType = 0;
        DWORD size = 0;
        LONG rc = RegQueryValueExA(h, name.c_str(), nullptr, &valueType, nullptr, &size);
        if (rc != ERROR_SUCCESS) return rc;
        std::vector<BYTE> buffer(size + 1);
        size = static_cast<DWORD>(buffer.size());
        rc = RegQueryValueExA(h, name.c_str(), nullptr, &valueType, buffer.data(), &size);
        if (rc != ERROR_SUCCESS) return rc;
        type = valueType;
        data.assign(reinterpret_cast<const char*>(buffer.data()), size);
        return ERROR_SUCCESS;
    }

    long setValue(std::uint32_t key, const std::string& name, std::uint32_t type, const std::string& data) override {
        HKEY h = handle(key);
        if (!h) return ERROR_INVALID_HANDLE;
        return RegSetValueExA(h, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                              static_cast<DWORD>(data.size()));
    }

    long deleteValue(std::uint32_t key, const std::string& name) override {
        HKEY h = handle(key);
        if (!h) return ERROR_INVALID_HANDLE;
        return RegDeleteValueA(h, name.c_str());
    }

    long setText(std::uint32_t key, const std::string& name, const std::string& utf8) override {
        HKEY h = handle(key);
        if (!h) return ERROR_INVALID_HANDLE;
        const std::wstring data = wideFromUtf8(utf8);
        return RegSetValueExW(h, wideFromUtf8(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                              static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    }

    long queryText(std::uint32_t key, const std::string& name, std::uint32_t& type, std::string& utf8) override {
        HKEY h = handle(key);
        if (!h) return ERROR_INVALID_HANDLE;
        const std::wstring wideName = wideFromUtf8(name);
        DWORD valueType = 0;
        DWORD size = 0;
        LONG rc = RegQueryValueExW(h, wideName.c_str(), nullptr, &valueType, nullptr, &size);
        if (rc != ERROR_SUCCESS) return rc;
        std::vector<wchar_t> buffer(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        rc = RegQueryValueExW(h, wideName.c_str(), nullptr, &valueType, reinterpret_cast<BYTE*>(buffer.data()), &size);
        if (rc != ERROR_SUCCESS) return rc;
        type = valueType;
        // Up to the first zero: the stored form ends in one, or may lack it.
        std::size_t length = size / sizeof(wchar_t);
        length = std::find(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(length), L'\0') - buffer.begin();
        utf8 = utf8FromWide(buffer.data(), length);
        return ERROR_SUCCESS;
    }

private:
    HKEY handle(std::uint32_t key) {
        std::lock_guard lock(m_mutex);
        const auto it = m_open.find(key);
        return it == m_open.end() ? nullptr : it->second;
    }

    std::mutex m_mutex;
    std::map<std::uint32_t, HKEY> m_open;
    std::set<std::uint32_t> m_roots;  // keys opened at a root (no sub-path)
    std::uint32_t m_next = 0;
};

}  // namespace

std::shared_ptr<RegistryBackend> makeWindowsRegistryBackend() { return std::make_shared<WindowsRegistryBackend>(); }

std::shared_ptr<RegistryBackend> makeDefaultRegistryBackend() { return makeWindowsRegistryBackend(); }

}  // namespace px316t

#endif  // _WIN32
