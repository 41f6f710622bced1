#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace px316t {

// One value as the class hands it out: nothing (a type it does not convert),
// a string (REG_SZ, or REG_BINARY as hex text "41 00 FF"), or a DWORD.
using RegVariant = std::variant<std::monostate, std::string, std::uint32_t>;

// Value types the class reads and writes.
inline constexpr std::uint32_t REG_TYPE_SZ = 1;
inline constexpr std::uint32_t REG_TYPE_BINARY = 3;
inline constexpr std::uint32_t REG_TYPE_DWORD = 4;

// Predefined root handles.
inline constexpr std::uint32_t HKEY_CLASSES_ROOT_HANDLE = 0x80000000u;
inline constexpr std::uint32_t HKEY_CURRENT_USER_HANDLE = 0x80000001u;
inline constexpr std::uint32_t HKEY_LOCAL_MACHINE_HANDLE = 0x80000002u;
inline constexpr std::uint32_t HKEY_USERS_HANDLE = 0x80000003u;
inline constexpr std::uint32_t HKEY_PERFORMANCE_DATA_HANDLE = 0x80000004u;
inline constexpr std::uint32_t HKEY_CURRENT_CONFIG_HANDLE = 0x80000005u;
inline constexpr std::uint32_t HKEY_DYN_DATA_HANDLE = 0x80000006u;

// Longest name, string or binary data the class reads back (its fixed buffers).
inline constexpr std::size_t kRegBufferChars = 255;

class RegistryBackend;  // the store below the class (registry_backend.h)
enum class RegAccess;

// Root handle and key path below it, as SplitRegPath parses a path text.
struct RegPath {
    std::uint32_t root = 0;  // 0: unknown root, every call with it fails
    std::string subPath;
};

// Shows the key being exported (ExportToReg's optional output box).
using RegExportOutput = std::function<void(const std::string& path)>;

// Keys and values addressed by one path text such as "HKLM\HARDWARE\DEVICEMAP\SERIALCOMM".
// Changing operations return non-zero (the key handle used, already closed) on success and
// 0 on failure; tests return booleans; enumerations return -1 for a key that cannot be
// opened; reads return the caller's default when the value cannot be read. Nothing throws.
class clsRegistryAccess {
public:
    clsRegistryAccess();  // platform default backend
    explicit clsRegistryAccess(std::shared_ptr<RegistryBackend> backend);

    // Let/Get. Should key will be created if no exists (when writting data to registry)
    bool CreateKeyIfDoesntExists() const;
    void CreateKeyIfDoesntExists(bool offon);

    // Parses a path text into root handle and sub-path and keeps both in the instance.
    RegPath SplitRegPath(const std::string& sPath);

    // Creates key in registry...
    std::int32_t CreateKey(const std::string& sPath);
    // Deletes key from registry...
    std::int32_t KillKey(const std::string& sPath);
    // Checks if some key exists...
    bool KeyExists(const std::string& sPath);
    // Enumerates subkeys of some key...
    std::int32_t EnumKeys(const std::string& sPath, std::vector<std::string>& sKeys);
    // Checks for subkeys in some key...
    bool HaveSubkey(const std::string& sPath);

    // Writes data of string type...
    std::int32_t WriteString(const std::string& sPath, const std::string& sName, const std::string& sValue);
    // Reads data of string type...
    std::string ReadString(const std::string& sPath, const std::string& sName, const std::string& sDefault);
    // Text in UTF-8 (a folder name), kept whole: the Windows registry stores it
    // through its wide functions, other stores as it is. No length limit.
    std::int32_t WriteText(const std::string& sPath, const std::string& sName, const std::string& utf8);
    std::string ReadText(const std::string& sPath, const std::string& sName, const std::string& sDefault);
    // Writes data of dword type...
    std::int32_t WriteDWORD(const std::string& sPath, const std::string& sName, std::uint32_t lValue);
    // Reads data of dword type...
    std::uint32_t ReadDWORD(const std::string& sPath, const std::string& sName, std::uint32_t lDefault);
    // Writes data of binary type...
    std::int32_t WriteBinary(const std::string& sPath, const std::string& sName, const std::string& sValue);
    // Reads data of binary type...
    std::string ReadBinary(const std::string& sPath, const std::string& sName, const std::string& sDefault);
    // Deletes value from registry...
    std::int32_t KillValue(const std::string& sPath, const std::string& sName);
    // Checks if some value exists in registry
    bool ValueExists(const std::string& sPath, const std::string& sName);
    // Enumerates all values from specified key...
    std::int32_t EnumValues(const std::string& sPath, std::vector<std::string>& sName,
                            std::vector<RegVariant>& sValue, std::int32_t OnlyType);

    // Converts hex (string) into it's binary value...
    static std::string StrToBin(const std::string& sBin);
    // Converts binary data into string...
    static std::string BinToStr(const std::string& sStr);
    // Checks if given binary data is in valid hex format (used for writting binary)
    static bool isBinValid(const std::string& sBin);

    // Exports contents of some key (and it's subkeys) to .reg file...
    std::int32_t ExportToReg(const std::string& sPath, const std::string& sRegFile, bool IncludeSubkeys,
                             const RegExportOutput& Output = {});
    // Appends one key (and, when asked, its subkeys) to an export file.
    bool ExportKey(const std::string& sPath, const std::string& sRegFile, bool IncludeSubkeys,
                   const RegExportOutput& Output = {});
    // Imports .reg file into registry...
    std::int32_t ImportFromReg(const std::string& sRegFile);

private:
    long openPath(const std::string& sPath, RegAccess access, bool create, std::uint32_t& key);
    long killKeyImpl(const std::string& sPath, std::uint32_t& key);
    long killValueImpl(const std::string& sPath, const std::string& sName, std::uint32_t& key);
    std::int32_t writeValue(const std::string& sPath, const std::string& sName, std::uint32_t type,
                            const std::string& data);
    // Opens sPath for writing (creating it when allowed) and runs `set` on the key.
    std::int32_t writeToKey(const std::string& sPath, const std::function<long(std::uint32_t key)>& set);
    bool readValue(const std::string& sPath, const std::string& sName, std::uint32_t& type, std::string& data);
    std::optional<std::string> readString(const std::string& sPath, const std::string& sName);
    // EnumValues that also tells whether entries were left out for not fitting the buffers.
    // The export keeps names as stored (`trimNames` false), spaces at their edges included.
    std::int32_t enumValuesImpl(const std::string& sPath, std::vector<std::string>& sName,
                                std::vector<RegVariant>& sValue, std::int32_t OnlyType, bool& skipped,
                                bool trimNames = true);

    std::shared_ptr<RegistryBackend> m_backend;
    bool m_createKeyIfDoesntExists = true;
    std::uint32_t m_hRoot = 0;  // root of the last path parsed
    std::uint32_t m_hKey = 0;   // last key opened
    std::string m_sSubPath;     // last key path below its root
};

}  // namespace px316t
