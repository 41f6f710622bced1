#ifdef _WIN32
#include "link/lpt/port_io_windows.h"

#include <windows.h>

namespace px316t {

WindowsPortIo::WindowsPortIo() = default;

WindowsPortIo::~WindowsPortIo()
{
    if (library_)
        ::FreeLibrary(static_cast<HMODULE>(library_));
}

bool WindowsPortIo::load()
{
    if (tried_)
        return out32_ && inp32_;
    tried_ = true;
    for (const char* name : {"inpoutx64.dll", "inpout32.dll"}) {
        HMODULE module = ::LoadLibraryA(name);
        if (!module)
            continue;
        // Through void (*)(void), the one function type any other may be cast from without a warning.
        out32_ = reinterpret_cast<void(__stdcall*)(short, short)>(
            reinterpret_cast<void (*)()>(::GetProcAddress(module, "Out32")));
        inp32_ = reinterpret_cast<short(__stdcall*)(short)>(
            reinterpret_cast<void (*)()>(::GetProcAddress(module, "Inp32")));
        if (out32_ && inp32_) {
            library_ = module;
            return true;
        }
        ::FreeLibrary(module);
        out32_ = nullptr;
        inp32_ = nullptr;
    }
    problem_ = "No parallel-port driver was found: install the port driver library (inpout32.dll or "
               "inpoutx64.dll) beside the program.";
    return false;
}

void WindowsPortIo::out(std::uint16_t address, std::uint8_t value)
{
    if (!isLptRegister(address) || !load())
        return;
    out32_(static_cast<short>(address), static_cast<short>(value));
}

std::uint8_t WindowsPortIo::in(std::uint16_t address)
{
    if (!isLptRegister(address) || !load())
        return 0xFF;
    return static_cast<std::uint8_t>(inp32_(static_cast<short>(address)) & 0xFF);
}

} // namespace px316t
#endif
