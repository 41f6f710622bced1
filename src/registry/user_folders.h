#pragma once

#include <filesystem>

namespace px316t {

// $XDG_CONFIG_HOME, or ~/.config when it is unset, empty or not absolute.
std::filesystem::path userConfigHome();
// $XDG_DATA_HOME, or ~/.local/share when it is unset, empty or not absolute.
std::filesystem::path userDataHome();

}  // namespace px316t
