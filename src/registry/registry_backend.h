#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>

#include "registry/serial_port_map.h"

namespace px316t {

// Error codes of the registry functions, shared by every backend.
inline constexpr long REG_ERROR_SUCCESS = 0;
inline constexpr long REG_ERROR_FILE_NOT_FOUND = 2;
inline constexpr long REG_ERROR_ACCESS_DENIED = 5;
inline constexpr long REG_ERROR_INVALID_HANDLE = 6;
inline constexpr long REG_ERROR_INVALID_PARAMETER = 87;
inline constexpr long REG_ERROR_MORE_DATA = 234;
inline constexpr long REG_ERROR_NO_MORE_ITEMS = 259;
inline constexpr long REG_ERROR_KEY_DELETED = 1018;
inline constexpr long REG_ERROR_CANTOPEN = 1011;  // the store itself cannot be reached

enum class RegAccess { Read, Write, Full };

// The registry below clsRegistryAccess, modelled on the registry functions: keys are opened
// by root handle and path, used through a non-zero handle and closed again. Data travels as
// the raw bytes of the value (a string with its terminating zero, a DWORD as 4 bytes in
// little-endian order). Names compare without regard to letter case. Every call returns
// REG_ERROR_SUCCESS or an error code; nothing throws.
class RegistryBackend {
public:
    virtual ~RegistryBackend() = default;

    // Opens an existing key; with create, makes it and its missing parents first.
    virtual long openKey(std::uint32_t root, const std::string& subPath, RegAccess access, bool create,
                         std::uint32_t& key) = 0;
    virtual long closeKey(std::uint32_t key) = 0;
    // Deletes the opened key with everything below it.
    virtual long deleteKey(std::uint32_t key) = 0;
    virtual long enumKey(std::uint32_t key, std::uint32_t index, std::string& name) = 0;
    virtual long enumValue(std::uint32_t key, std::uint32_t index, std::string& name, std::uint32_t& type,
                           std::string& data) = 0;
    virtual long queryValue(std::uint32_t key, const std::string& name, std::uint32_t& type,
                            std::string& data) = 0;
    virtual long setValue(std::uint32_t key, const std::string& name, std::uint32_t type,
                          const std::string& data) = 0;
    virtual long deleteValue(std::uint32_t key, const std::string& name) = 0;

    // A string value (REG_SZ) as UTF-8 text. The Windows registry keeps it as
    // its own wide string, so characters outside the ANSI code page survive;
    // the other stores keep the bytes, exactly as setValue and queryValue do.
    virtual long setText(std::uint32_t key, const std::string& name, const std::string& utf8)
    {
        return setValue(key, name, kRegTextType, utf8 + '\0');
    }
    virtual long queryText(std::uint32_t key, const std::string& name, std::uint32_t& type, std::string& utf8)
    {
        return queryValue(key, name, type, utf8);
    }

protected:
    static constexpr std::uint32_t kRegTextType = 1;  // REG_SZ
};

struct PortableRegistryOptions {
    // The store's file; empty: $XDG_DATA_HOME/px316t/registry.sqlite (~/.local/share by default).
    std::filesystem::path storeFile;
    // Where HKLM\HARDWARE\DEVICEMAP\SERIALCOMM takes its ports from.
    SerialPortMapOptions ports;
};

// $XDG_DATA_HOME/px316t/registry.sqlite, or ~/.local/share/px316t/registry.sqlite.
std::filesystem::path defaultRegistryStoreFile();

// The store used outside Windows: an SQLite file with the live serial-port key on top.
std::shared_ptr<RegistryBackend> makePortableRegistryBackend(const PortableRegistryOptions& options = {});

#ifdef _WIN32
// The Windows registry through its ANSI functions.
std::shared_ptr<RegistryBackend> makeWindowsRegistryBackend();
#endif

// The backend of this platform with its default places.
std::shared_ptr<RegistryBackend> makeDefaultRegistryBackend();

}  // namespace px316t
