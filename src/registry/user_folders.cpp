#include "registry/user_folders.h"

#include <cstdlib>
#include <string>

#ifndef _WIN32
#include <pwd.h>
#include <unistd.h>
#endif

namespace px316t {

namespace {

std::filesystem::path homeFolder() {
#ifdef _WIN32
    for (const char* name : {"APPDATA", "USERPROFILE"}) {
        const char* value = std::getenv(name);
        if (value && *value) return value;
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
    const char* value = std::getenv(variable);
    // Relative values are to be ignored; they would depend on the working folder.
    if (value && *value && std::filesystem::path(value).is_absolute()) return value;
#ifdef _WIN32
    (void)fallbackBelowHome;
    return homeFolder();
#else
    return homeFolder() / fallbackBelowHome;
#endif
}

}  // namespace

std::filesystem::path userConfigHome() { return xdgFolder("XDG_CONFIG_HOME", ".config"); }

std::filesystem::path userDataHome() { return xdgFolder("XDG_DATA_HOME", ".local/share"); }

}  // namespace px316t
