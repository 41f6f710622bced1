#pragma once
// SerialPorts on the Win32 communications functions (Windows builds only):
// COMn is opened as \\.\COMn, set to 9600 8N1 through its DCB, and read with
// time-outs that return at once, so no call ever blocks.
#include "link/usb/serial_ports.h"

#include <map>
#include <string>

namespace px316t {

class Win32SerialPorts final : public SerialPorts {
public:
    Win32SerialPorts() = default;
    ~Win32SerialPorts() override;
    Win32SerialPorts(const Win32SerialPorts&) = delete;
    Win32SerialPorts& operator=(const Win32SerialPorts&) = delete;

    int open(int port) override;
    int ioctl(int port, int baudCode, int mode) override;
    int flush(int port, int which) override;
    int write(int port, const std::uint8_t* data, int count) override;
    int iqueue(int port) override;
    int read(int port, std::uint8_t* buffer, int count) override;
    int getch(int port) override;
    int lstatus(int port) override;
    int close(int port) override;
    std::string errorText(int port) const override;

private:
    void* find(int port) const;
    int fail(int port, int result, std::string text);
    int failIo(int port, const char* what);

    std::map<int, void*> open_;  // COM number -> HANDLE
    std::map<int, std::string> errors_;
};

// The result and the words for a failed CreateFileW of COM `port` with the
// system's error code: in use, no such port, access denied, or the system's text.
int win32OpenFailure(int port, unsigned long error, std::string& text);

} // namespace px316t
