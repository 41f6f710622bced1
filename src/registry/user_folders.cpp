#include "registry/user_folders.h"

#include <cstdlib>
#include <string>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace px316t {

namespace {

#ifdef _WIN32
// The wide environment: the narrow one gives the names in the ANSI code page, where a
// profile "C:\users\Ωmega" becomes "C:\users\Omega", another folder or none.
std::filesystem::path environmentPath(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value && *value ? std::filesystem::path(value) : std::filesystem::path();
}
#endif

std::filesystem::path homeFolder() {
#ifdef _WIN32
    for (const wchar_t* name : {L"APPDATA", L"USERPROFILE"}) {
        std::filesystem::path value = environmentPath(name);
        if (!value.empty()) return value;
    }
    return ".";
#else
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    if (const passwd* entry = getpwuid(getuid()); entry && entry->pw_dir) return entry->pw_dir;
    return "/";
#endif
}

std::filesystem::path xdgFolder(const char* variable, const char* fallbackBelowHome) {
#ifdef _WIN32
    (void)fallbackBelowHome;
    const std::string name(variable);
    const std::filesystem::path value = environmentPath(std::wstring(name.begin(), name.end()).c_str());
    // Relative values are to be ignored; they would depend on the working folder.
    if (value.is_absolute()) return value;
    return homeFolder();
#else
    const char* value = std::getenv(variable);
    // Relative values are to be ignored; they would depend on the working folder.
    if (value && *value && std::filesystem::path(value).is_absolute()) return value;
    return homeFolder() / fallbackBelowHome;
#endif
}

}  // namespace

std::filesystem::path userConfigHome() { return xdgFolder("XDG_CONFIG_HOME", ".config"); }

std::filesystem::path userDataHome() { return xdgFolder("XDG_DATA_HOME", ".local/share"); }

}  // namespace px316t
