#include "registry/cls_registry_access.h"

#include <algorithm>
#include <array>
#include <cctype>

#include "registry/reg_text.h"
#include "registry/registry_backend.h"

namespace px316t {

namespace {

struct RootName {
    const char* longName;
    const char* shortName;
    std::uint32_t handle;
};

constexpr std::array<RootName, 7> kRoots{{
    {"HKEY_CLASSES_ROOT", "HKCR", HKEY_CLASSES_ROOT_HANDLE},
    {"HKEY_CURRENT_USER", "HKCU", HKEY_CURRENT_USER_HANDLE},
    {"HKEY_LOCAL_MACHINE", "HKLM", HKEY_LOCAL_MACHINE_HANDLE},
    {"HKEY_USERS", "HKUS", HKEY_USERS_HANDLE},
    {"HKEY_PERFORMANCE_DATA", "HKPD", HKEY_PERFORMANCE_DATA_HANDLE},
    {"HKEY_CURRENT_CONFIG", "HKCC", HKEY_CURRENT_CONFIG_HANDLE},
    {"HKEY_DYN_DATA", "HKDD", HKEY_DYN_DATA_HANDLE},
}};

// Closes a key opened through the backend when the operation ends.
class KeyCloser {
public:
    KeyCloser(RegistryBackend& backend, std::uint32_t key) : m_backend(backend), m_key(key) {}
    ~KeyCloser() { m_backend.closeKey(m_key); }
    KeyCloser(const KeyCloser&) = delete;
    KeyCloser& operator=(const KeyCloser&) = delete;

private:
    RegistryBackend& m_backend;
    std::uint32_t m_key;
};

std::string dwordBytes(std::uint32_t value) {
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i) data[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
    return data;
}

}  // namespace

namespace regtext {

std::string trimSpaces(const std::string& s) {
    const auto first = s.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = s.find_last_not_of(' ');
    return s.substr(first, last - first + 1);
}

bool iequals(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::toupper(static_cast<unsigned char>(x)) == std::toupper(static_cast<unsigned char>(y));
           });
}

bool istartsWith(const std::string& s, const std::string& prefix) {
    return s.size() >= prefix.size() && iequals(s.substr(0, prefix.size()), prefix);
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string rootLongName(std::uint32_t root) {
    for (const auto& r : kRoots)
        if (r.handle == root) return r.longName;
    return {};
}

std::optional<std::string> decodeString(std::uint32_t type, const std::string& data) {
    if (type != REG_TYPE_SZ) return std::nullopt;
    std::string text = data;
    // The text comes back exactly as written: trimming the read buffer would also
    // take leading and trailing spaces that belong to the data.
    // The stored form ends in a zero; a value written without one keeps all its characters.
    if (!text.empty() && text.back() == '\0') text.pop_back();
    if (text.size() > kRegBufferChars) return std::nullopt;
    return text;
}

std::optional<std::uint32_t> decodeDword(std::uint32_t type, const std::string& data) {
    if (type != REG_TYPE_DWORD || data.size() != 4) return std::nullopt;
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(data[i]);
    return value;
}

std::optional<std::string> decodeBinary(std::uint32_t type, const std::string& data) {
    if (type != REG_TYPE_BINARY || data.size() > kRegBufferChars) return std::nullopt;
    return trimSpaces(clsRegistryAccess::BinToStr(data));
}

}  // namespace regtext

using namespace regtext;

clsRegistryAccess::clsRegistryAccess() : clsRegistryAccess(makeDefaultRegistryBackend()) {}

clsRegistryAccess::clsRegistryAccess(std::shared_ptr<RegistryBackend> backend) : m_backend(std::move(backend)) {}

bool clsRegistryAccess::CreateKeyIfDoesntExists() const { return m_createKeyIfDoesntExists; }

void clsRegistryAccess::CreateKeyIfDoesntExists(bool offon) { m_createKeyIfDoesntExists = offon; }

RegPath clsRegistryAccess::SplitRegPath(const std::string& sPath) {
    // Only the first component names the root; key names further down are left alone, so a
    // subkey called "HKEY_USERS_OLD" is not rewritten and "HKLMX" is no root.
    const auto slash = sPath.find('\\');
    const std::string rootText = slash == std::string::npos ? sPath : sPath.substr(0, slash);
    RegPath parsed;
    for (const auto& r : kRoots) {
        if (iequals(rootText, r.longName) || iequals(rootText, r.shortName)) parsed.root = r.handle;
    }
    if (slash != std::string::npos) parsed.subPath = sPath.substr(slash + 1);
    m_hRoot = parsed.root;
    m_sSubPath = parsed.subPath;
    return parsed;
}

long clsRegistryAccess::openPath(const std::string& sPath, RegAccess access, bool create, std::uint32_t& key) {
    key = 0;
    const RegPath parsed = SplitRegPath(sPath);
    if (parsed.root == 0 || !m_backend) return REG_ERROR_INVALID_HANDLE;
    const long rc = m_backend->openKey(parsed.root, parsed.subPath, access, create, key);
    if (rc != REG_ERROR_SUCCESS) {
        key = 0;
        return rc;
    }
    m_hKey = key;
    return rc;
}

std::int32_t clsRegistryAccess::CreateKey(const std::string& sPath) {
    std::uint32_t key = 0;
    if (openPath(sPath, RegAccess::Write, true, key) != REG_ERROR_SUCCESS) return 0;
    m_backend->closeKey(key);
    return static_cast<std::int32_t>(key);
}

long clsRegistryAccess::killKeyImpl(const std::string& sPath, std::uint32_t& key) {
    // A root is never deleted, nor emptied of its keys: on Windows that would wipe a
    // part of the user's registry before failing on a key it may not touch.
    key = 0;
    const RegPath parsed = SplitRegPath(sPath);
    if (parsed.root != 0 && parsed.subPath.find_first_not_of('\\') == std::string::npos)
        return REG_ERROR_ACCESS_DENIED;
    const long rc = openPath(sPath, RegAccess::Full, false, key);
    if (rc != REG_ERROR_SUCCESS) return rc;
    KeyCloser closer(*m_backend, key);
    return m_backend->deleteKey(key);
}

std::int32_t clsRegistryAccess::KillKey(const std::string& sPath) {
    // A refused deletion is reported as a failure, not as the opened handle.
    std::uint32_t key = 0;
    return killKeyImpl(sPath, key) == REG_ERROR_SUCCESS ? static_cast<std::int32_t>(key) : 0;
}

bool clsRegistryAccess::KeyExists(const std::string& sPath) {
    // Read access: a key the user may only read (the serial-port list) still exists.
    std::uint32_t key = 0;
    if (openPath(sPath, RegAccess::Read, false, key) != REG_ERROR_SUCCESS) return false;
    m_backend->closeKey(key);
    return true;
}

std::int32_t clsRegistryAccess::EnumKeys(const std::string& sPath, std::vector<std::string>& sKeys) {
    sKeys.clear();
    std::uint32_t key = 0;
    if (openPath(sPath, RegAccess::Read, false, key) != REG_ERROR_SUCCESS) return -1;
    KeyCloser closer(*m_backend, key);
    for (std::uint32_t index = 0;; ++index) {
        std::string name;
        const long rc = m_backend->enumKey(key, index, name);
        if (rc == REG_ERROR_NO_MORE_ITEMS) break;
        // Any other failure (the key deleted meanwhile, the store gone) would repeat at every
        // index, so it ends the enumeration too.
        if (rc != REG_ERROR_SUCCESS) break;
        if (name.size() > kRegBufferChars) continue;  // does not fit the name buffer
        sKeys.push_back(name);
    }
    return static_cast<std::int32_t>(sKeys.size());
}

bool clsRegistryAccess::HaveSubkey(const std::string& sPath) {
    std::uint32_t key = 0;
    if (openPath(sPath, RegAccess::Read, false, key) != REG_ERROR_SUCCESS) return false;
    KeyCloser closer(*m_backend, key);
    std::string name;
    const long rc = m_backend->enumKey(key, 0, name);
    return rc == REG_ERROR_SUCCESS || rc == REG_ERROR_MORE_DATA;
}

std::int32_t clsRegistryAccess::writeToKey(const std::string& sPath,
                                           const std::function<long(std::uint32_t key)>& set) {
    if (!KeyExists(sPath)) {
        if (!m_createKeyIfDoesntExists) return 0;
        if (CreateKey(sPath) == 0) return 0;
    }
    std::uint32_t key = 0;
    if (openPath(sPath, RegAccess::Write, false, key) != REG_ERROR_SUCCESS) return 0;
    KeyCloser closer(*m_backend, key);
    if (set(key) != REG_ERROR_SUCCESS) return 0;
    return static_cast<std::int32_t>(key);
}

std::int32_t clsRegistryAccess::writeValue(const std::string& sPath, const std::string& sName, std::uint32_t type,
                                           const std::string& data) {
    return writeToKey(sPath, [&](std::uint32_t key) { return m_backend->setValue(key, sName, type, data); });
}

bool clsRegistryAccess::readValue(const std::string& sPath, const std::string& sName, std::uint32_t& type,
                                  std::string& data) {
    std::uint32_t key = 0;
    if (openPath(sPath, RegAccess::Read, false, key) != REG_ERROR_SUCCESS) return false;
    KeyCloser closer(*m_backend, key);
    return m_backend->queryValue(key, sName, type, data) == REG_ERROR_SUCCESS;
}

std::int32_t clsRegistryAccess::WriteString(const std::string& sPath, const std::string& sName,
                                            const std::string& sValue) {
    const std::string name = sName == "@" ? std::string() : sName;
    std::string data = sValue;
    data.push_back('\0');
    return writeValue(sPath, name, REG_TYPE_SZ, data);
}

std::optional<std::string> clsRegistryAccess::readString(const std::string& sPath, const std::string& sName) {
    std::uint32_t type = 0;
    std::string data;
    if (!readValue(sPath, sName, type, data)) return std::nullopt;
    return decodeString(type, data);
}

std::string clsRegistryAccess::ReadString(const std::string& sPath, const std::string& sName,
                                          const std::string& sDefault) {
    return readString(sPath, sName).value_or(sDefault);
}

std::int32_t clsRegistryAccess::WriteText(const std::string& sPath, const std::string& sName,
                                          const std::string& utf8) {
    return writeToKey(sPath, [&](std::uint32_t key) { return m_backend->setText(key, sName, utf8); });
}

std::string clsRegistryAccess::ReadText(const std::string& sPath, const std::string& sName,
                                        const std::string& sDefault) {
    std::uint32_t key = 0;
    if (openPath(sPath, RegAccess::Read, false, key) != REG_ERROR_SUCCESS) return sDefault;
    KeyCloser closer(*m_backend, key);
    std::uint32_t type = 0;
    std::string text;
    if (m_backend->queryText(key, sName, type, text) != REG_ERROR_SUCCESS || type != REG_TYPE_SZ) return sDefault;
    if (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

std::int32_t clsRegistryAccess::WriteDWORD(const std::string& sPath, const std::string& sName, std::uint32_t lValue) {
    return writeValue(sPath, sName, REG_TYPE_DWORD, dwordBytes(lValue));
}

std::uint32_t clsRegistryAccess::ReadDWORD(const std::string& sPath, const std::string& sName,
                                           std::uint32_t lDefault) {
    std::uint32_t type = 0;
    std::string data;
    if (!readValue(sPath, sName, type, data)) return lDefault;
    return decodeDword(type, data).value_or(lDefault);
}

std::int32_t clsRegistryAccess::WriteBinary(const std::string& sPath, const std::string& sName,
                                            const std::string& sValue) {
    std::string digits = sValue;
    digits.erase(std::remove(digits.begin(), digits.end(), ' '), digits.end());
    // Half a byte or a stray character would store bytes the caller never gave.
    if (!digits.empty() && (!isBinValid(digits) || digits.size() % 2 != 0)) return 0;
    return writeValue(sPath, sName, REG_TYPE_BINARY, StrToBin(digits));
}

std::string clsRegistryAccess::ReadBinary(const std::string& sPath, const std::string& sName,
                                          const std::string& sDefault) {
    std::uint32_t type = 0;
    std::string data;
    if (!readValue(sPath, sName, type, data)) return sDefault;
    // The value's size is asked first and a buffer of that size read, so any
    // length and any type reads back as its bytes; only EnumValues has fixed buffers.
    return trimSpaces(BinToStr(data));
}

long clsRegistryAccess::killValueImpl(const std::string& sPath, const std::string& sName, std::uint32_t& key) {
    const long rc = openPath(sPath, RegAccess::Write, false, key);
    if (rc != REG_ERROR_SUCCESS) return rc;
    KeyCloser closer(*m_backend, key);
    const long deleted = m_backend->deleteValue(key, sName);
    // A value that is not there is as deleted as it gets; a refused deletion is a failure.
    return deleted == REG_ERROR_FILE_NOT_FOUND ? REG_ERROR_SUCCESS : deleted;
}

std::int32_t clsRegistryAccess::KillValue(const std::string& sPath, const std::string& sName) {
    std::uint32_t key = 0;
    return killValueImpl(sPath, sName, key) == REG_ERROR_SUCCESS ? static_cast<std::int32_t>(key) : 0;
}

bool clsRegistryAccess::ValueExists(const std::string& sPath, const std::string& sName) {
    std::uint32_t type = 0;
    std::string data;
    return readValue(sPath, sName, type, data);
}

std::int32_t clsRegistryAccess::enumValuesImpl(const std::string& sPath, std::vector<std::string>& sName,
                                               std::vector<RegVariant>& sValue, std::int32_t OnlyType,
                                               bool& skipped, bool trimNames) {
    skipped = false;
    std::uint32_t key = 0;
    if (openPath(sPath, RegAccess::Read, false, key) != REG_ERROR_SUCCESS) return -1;
    KeyCloser closer(*m_backend, key);
    sName.clear();
    sValue.clear();
    for (std::uint32_t index = 0;; ++index) {
        std::string name;
        std::string data;
        std::uint32_t type = 0;
        const long rc = m_backend->enumValue(key, index, name, type, data);
        if (rc == REG_ERROR_NO_MORE_ITEMS) break;
        if (rc != REG_ERROR_SUCCESS) break;  // would fail again at every further index
        if (OnlyType != -1 && static_cast<std::uint32_t>(OnlyType) != type) continue;
        // The value is converted from the data just enumerated rather than read again by
        // name: one consistent snapshot, and the live port key is built once per call.
        std::size_t payload = data.size();
        if (type == REG_TYPE_SZ && payload > 0 && data.back() == '\0') --payload;
        if (name.size() > kRegBufferChars || payload > kRegBufferChars) {
            skipped = true;  // does not fit the fixed buffers
            continue;
        }
        RegVariant value;
        if (type == REG_TYPE_BINARY) {
            value = decodeBinary(type, data).value_or(std::string());
        } else if (type == REG_TYPE_DWORD) {
            value = decodeDword(type, data).value_or(0u);
        } else if (type == REG_TYPE_SZ) {
            value = decodeString(type, data).value_or(std::string());
        }
        sName.push_back(trimNames ? trimSpaces(name) : name);
        sValue.push_back(std::move(value));
    }
    return static_cast<std::int32_t>(sName.size());
}

std::int32_t clsRegistryAccess::EnumValues(const std::string& sPath, std::vector<std::string>& sName,
                                           std::vector<RegVariant>& sValue, std::int32_t OnlyType) {
    bool skipped = false;
    return enumValuesImpl(sPath, sName, sValue, OnlyType, skipped);
}

std::string clsRegistryAccess::StrToBin(const std::string& sBin) {
    // Callers check isBinValid first; a pair with a non-hex character ends the conversion
    // and a last single digit counts as a number of its own.
    std::string digits = sBin;
    digits.erase(std::remove(digits.begin(), digits.end(), ' '), digits.end());
    std::string bytes;
    bytes.reserve(digits.size() / 2 + 1);
    for (std::size_t i = 0; i < digits.size(); i += 2) {
        const int high = hexDigit(digits[i]);
        if (high < 0) break;
        if (i + 1 >= digits.size()) {
            bytes.push_back(static_cast<char>(high));
            break;
        }
        const int low = hexDigit(digits[i + 1]);
        if (low < 0) break;
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    return bytes;
}

std::string clsRegistryAccess::BinToStr(const std::string& sStr) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(sStr.size() * 3);
    for (const char c : sStr) {
        const auto byte = static_cast<unsigned char>(c);
        text.push_back(' ');
        text.push_back(kDigits[byte >> 4]);
        text.push_back(kDigits[byte & 0x0F]);
    }
    return text;
}

bool clsRegistryAccess::isBinValid(const std::string& sBin) {
    bool any = false;
    for (const char c : sBin) {
        if (c == ' ') continue;
        if (hexDigit(c) < 0) return false;
        any = true;
    }
    return any;
}

}  // namespace px316t
