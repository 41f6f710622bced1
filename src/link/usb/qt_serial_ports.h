#pragma once
// SerialPorts on QSerialPort. COMn is resolved to a device through the same
// port map that fills the registry's serial-port list.
#include "link/usb/serial_ports.h"
#include "registry/serial_port_map.h"

#include <map>
#include <memory>
#include <string>

class QSerialPort;

namespace px316t {

class QtSerialPorts final : public SerialPorts {
public:
    explicit QtSerialPorts(SerialPortMapOptions options = {});
    ~QtSerialPorts() override;

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
    QSerialPort* find(int port);
    int fail(int port, int result, std::string text);
    // Moves bytes the driver holds into the port's buffer; false once the
    // device has failed or vanished.
    bool pump(int port, QSerialPort& serial);

    SerialPortMap map_;
    std::map<int, std::unique_ptr<QSerialPort>> open_;
    std::map<int, std::string> device_;
    std::map<int, std::string> errors_;
};

// The words shown when `device` (COM `port`) may not be opened by this user:
// which device, which group owns it, and how to join that group.
std::string permissionDeniedText(int port, const std::string& device);

} // namespace px316t
