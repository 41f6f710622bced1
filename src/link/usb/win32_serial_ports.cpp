#include "link/usb/win32_serial_ports.h"

#include <windows.h>

#include <algorithm>

namespace px316t {

namespace {

std::string comName(int port) { return "COM" + std::to_string(port); }

// The system's own sentence for an error code, without its line end.
std::string systemText(DWORD error)
{
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM
                                            | FORMAT_MESSAGE_IGNORE_INSERTS,
                                        nullptr, error, 0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text = length && buffer ? std::string(buffer, length) : "error " + std::to_string(error);
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ' || text.back() == '.'))
        text.pop_back();
    return text;
}

} // namespace

int win32OpenFailure(int port, unsigned long error, std::string& text)
{
    const std::string name = comName(port);
    switch (error) {
    case ERROR_SHARING_VIOLATION:
        text = name + " is in use by another program. Close the other program (another copy of this tool, "
                      "a terminal program) and try again.";
        return SerialBusy;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST:
        text = name + " is not a serial port of this computer. Check the cable of the programming board and "
                      "the port number in the Device Manager (Ports (COM & LPT)).";
        return SerialBadPort;
    case ERROR_ACCESS_DENIED:
        // Windows reports a port that another program holds as access denied as well.
        text = "Access to " + name + " was denied. It may be in use by another program; otherwise ask the "
                                     "administrator for access to the port.";
        return SerialPermissionDenied;
    default:
        text = "Cannot open " + name + ": " + systemText(error) + ".";
        return SerialOpenFailed;
    }
}

Win32SerialPorts::~Win32SerialPorts()
{
    for (auto& [port, handle] : open_)
        CloseHandle(static_cast<HANDLE>(handle));
}

void* Win32SerialPorts::find(int port) const
{
    const auto it = open_.find(port);
    return it == open_.end() ? nullptr : it->second;
}

int Win32SerialPorts::fail(int port, int result, std::string text)
{
    errors_[port] = std::move(text);
    return result;
}

int Win32SerialPorts::failIo(int port, const char* what)
{
    return fail(port, SerialIoError, comName(port) + " failed (" + what + "): " + systemText(GetLastError()) + ".");
}

std::string Win32SerialPorts::errorText(int port) const
{
    const auto it = errors_.find(port);
    return it == errors_.end() ? std::string() : it->second;
}

int Win32SerialPorts::open(int port)
{
    errors_.erase(port);
    if (find(port))
        return fail(port, SerialOpenFailed, comName(port) + " is already open.");
    if (port < 1 || port > 256)
        return fail(port, SerialBadPort, comName(port) + " is not a serial port of this computer.");
    // The device name works for every number; plain "COM10" and above would not.
    const std::wstring path = L"\\\\.\\COM" + std::to_wstring(port);
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        std::string text;
        const int result = win32OpenFailure(port, GetLastError(), text);
        return fail(port, result, text);
    }
    // Reads return at once with what is there; writes may take as long as their bytes need.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = 0;
    timeouts.WriteTotalTimeoutMultiplier = 2;     // ms per byte: 1.04 at 9600 baud
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!SetCommTimeouts(handle, &timeouts)) {
        const int result = failIo(port, "time-outs");
        CloseHandle(handle);
        return result;
    }
    open_[port] = handle;
    return SerialOk;
}

int Win32SerialPorts::ioctl(int port, int baudCode, int mode)
{
    HANDLE handle = static_cast<HANDLE>(find(port));
    if (!handle)
        return SerialNotOpen;
    if (baudCode != BaudCode9600 || mode != Mode8N1)
        return SerialBadParameter;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    if (!GetCommState(handle, &dcb))
        return failIo(port, "line settings");
    dcb.BaudRate = CBR_9600;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.fBinary = TRUE;
    dcb.fParity = FALSE;
    // No flow control: the board uses none, and a low line must not hold the writes back.
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(handle, &dcb))
        return failIo(port, "line settings");
    return SerialOk;
}

int Win32SerialPorts::flush(int port, int which)
{
    HANDLE handle = static_cast<HANDLE>(find(port));
    if (!handle)
        return SerialNotOpen;
    DWORD flags = 0;
    if (which == FlushReceive)
        flags = PURGE_RXCLEAR | PURGE_RXABORT;
    else if (which == FlushSend)
        flags = PURGE_TXCLEAR | PURGE_TXABORT;
    else if (which == FlushBoth)
        flags = PURGE_RXCLEAR | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_TXABORT;
    else
        return SerialBadParameter;
    return PurgeComm(handle, flags) ? SerialOk : failIo(port, "flush");
}

int Win32SerialPorts::write(int port, const std::uint8_t* data, int count)
{
    HANDLE handle = static_cast<HANDLE>(find(port));
    if (!handle)
        return SerialNotOpen;
    if (count < 0 || (!data && count > 0))
        return SerialBadParameter;
    int total = 0;
    while (total < count) {
        DWORD written = 0;
        if (!WriteFile(handle, data + total, static_cast<DWORD>(count - total), &written, nullptr))
            return failIo(port, "write");
        if (written == 0)
            return fail(port, SerialIoError, comName(port) + " failed (write): the port took no bytes in time.");
        total += static_cast<int>(written);
    }
    return total;
}

int Win32SerialPorts::iqueue(int port)
{
    HANDLE handle = static_cast<HANDLE>(find(port));
    if (!handle)
        return SerialNotOpen;
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(handle, &errors, &status))
        return failIo(port, "status");
    return static_cast<int>(std::min<DWORD>(status.cbInQue, 0x7FFFFFFF));
}

int Win32SerialPorts::read(int port, std::uint8_t* buffer, int count)
{
    HANDLE handle = static_cast<HANDLE>(find(port));
    if (!handle)
        return SerialNotOpen;
    if (count < 0 || (!buffer && count > 0))
        return SerialBadParameter;
    if (count == 0)
        return 0;
    DWORD got = 0;
    if (!ReadFile(handle, buffer, static_cast<DWORD>(count), &got, nullptr))
        return failIo(port, "read");
    return static_cast<int>(got);
}

int Win32SerialPorts::getch(int port)
{
    std::uint8_t byte = 0;
    const int got = read(port, &byte, 1);
    if (got < 0)
        return got;
    return got == 0 ? static_cast<int>(SerialNoData) : static_cast<int>(byte);
}

int Win32SerialPorts::lstatus(int port)
{
    // The line status is the queue query's error check: a port whose adapter
    // was pulled out answers with an error there.
    const int queued = iqueue(port);
    return queued < 0 ? queued : static_cast<int>(SerialOk);
}

int Win32SerialPorts::close(int port)
{
    const auto it = open_.find(port);
    if (it == open_.end())
        return SerialNotOpen;
    CloseHandle(static_cast<HANDLE>(it->second));
    open_.erase(it);
    return SerialOk;
}

} // namespace px316t
