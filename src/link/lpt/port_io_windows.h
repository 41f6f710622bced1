#pragma once
// Port access on Windows through the port driver library the machine has
// installed (inpoutx64.dll or inpout32.dll, whose Out32 and Inp32 reach the
// port registers from a normal program). Loaded at the first access.
#ifdef _WIN32
#include "link/lpt/port_io.h"

namespace px316t {

class WindowsPortIo final : public PortIo {
public:
    WindowsPortIo();
    ~WindowsPortIo() override;
    WindowsPortIo(const WindowsPortIo&) = delete;
    WindowsPortIo& operator=(const WindowsPortIo&) = delete;

    void out(std::uint16_t address, std::uint8_t value) override;
    std::uint8_t in(std::uint16_t address) override;
    std::string problem() const override { return problem_; }

private:
    bool load();

    void* library_ = nullptr;
    void(__stdcall* out32_)(short, short) = nullptr;
    short(__stdcall* inp32_)(short) = nullptr;
    bool tried_ = false;
    std::string problem_;
};

} // namespace px316t
#endif
