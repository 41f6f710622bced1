#include "table/path_text.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace px316t {

std::filesystem::path pathFromUtf8(std::string_view utf8)
{
#ifdef _WIN32
    if (utf8.empty())
        return {};
    const int size = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(size), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
    return std::filesystem::path(std::move(wide));
#else
    return std::filesystem::path(std::string(utf8));
#endif
}

std::string utf8FromPath(const std::filesystem::path& path)
{
#ifdef _WIN32
    const std::wstring& wide = path.native();
    if (wide.empty())
        return {};
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                           nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), size, nullptr,
                          nullptr);
    return utf8;
#else
    return path.native();
#endif
}

} // namespace px316t
