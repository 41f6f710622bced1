#pragma once
// The serial-port layer the USB link talks through. Ports are addressed by COM
// number (3 for COM3); each operation answers 0 or a non-negative value on
// success and a negative SerialResult on failure, which is all the link relies on.
#include <cstdint>
#include <string>

namespace px316t {

enum SerialResult : int {
    SerialOk = 0,
    SerialBadPort = -1,           // no device is registered under that COM number
    SerialNotOpen = -2,
    SerialNoData = -4,            // getch: nothing waiting
    SerialOpenFailed = -5,
    SerialBadParameter = -7,
    SerialIoError = -10,          // the device failed or vanished
    SerialPermissionDenied = -20, // the user may not open the device (see errorText)
    SerialBusy = -21,             // another program holds the device
};

// Line settings the board uses: 9600 baud, 8 data bits, no parity, 1 stop bit.
constexpr int BaudCode9600 = 12;
constexpr int Mode8N1 = 3;
// flush(): which buffers to empty.
constexpr int FlushReceive = 0;
constexpr int FlushSend = 1;
constexpr int FlushBoth = 2;

class SerialPorts {
public:
    virtual ~SerialPorts() = default;
    // 0 = opened. Opening a port that is already open fails.
    virtual int open(int port) = 0;
    // 0 = set; only BaudCode9600 with Mode8N1 is offered.
    virtual int ioctl(int port, int baudCode, int mode) = 0;
    virtual int flush(int port, int which) = 0;
    // Number of bytes written, or negative.
    virtual int write(int port, const std::uint8_t* data, int count) = 0;
    // Number of received bytes waiting, or negative.
    virtual int iqueue(int port) = 0;
    // Number of bytes read (at most `count`, never blocking), or negative.
    virtual int read(int port, std::uint8_t* buffer, int count) = 0;
    // The next received byte (0..255), SerialNoData when none is waiting, or
    // another negative result on failure.
    virtual int getch(int port) = 0;
    // Non-negative while the port is open, negative otherwise.
    virtual int lstatus(int port) = 0;
    virtual int close(int port) = 0;
    // Words a technician can act on for the last failure on `port` (which
    // device, what to do); empty when there was none.
    virtual std::string errorText(int port) const = 0;
};

} // namespace px316t
