#include "link/usb/qt_serial_ports.h"

#include "link/usb/serial_port_lock.h"

#include <QSerialPort>

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace px316t {

namespace {

bool fatal(QSerialPort::SerialPortError error)
{
    return error == QSerialPort::ResourceError || error == QSerialPort::ReadError
        || error == QSerialPort::WriteError || error == QSerialPort::DeviceNotFoundError;
}

std::string comName(int port) { return "COM" + std::to_string(port); }

std::string inUseText(int port, const std::string& device, const std::optional<PortHolder>& holder)
{
    return device + " (" + comName(port) + ") is in use by another program" +
           (holder ? " (" + holderText(*holder) + ")" : std::string()) + ".";
}

} // namespace

std::string permissionDeniedText(int port, const std::string& device)
{
    // Joining the device's group helps only when that group may read and write it.
    std::string group;
    struct stat info {};
    if (::stat(device.c_str(), &info) == 0 && (info.st_mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP)) {
        if (const struct group* owner = ::getgrgid(info.st_gid))
            group = owner->gr_name;
    }
    std::string text = "No permission to open " + device + " (" + comName(port) + ").";
    if (!group.empty() && group != "root") {
        text += " Add your user account to the group \"" + group + "\" (sudo usermod -aG " + group
            + " $USER), then log out and in again.";
    } else {
        text += " Ask the administrator for read and write access to this device.";
    }
    return text;
}

QtSerialPorts::QtSerialPorts(SerialPortMapOptions options) : map_(std::move(options)) {}

QtSerialPorts::~QtSerialPorts() = default;

QSerialPort* QtSerialPorts::find(int port)
{
    const auto it = open_.find(port);
    return it == open_.end() ? nullptr : it->second.get();
}

int QtSerialPorts::fail(int port, int result, std::string text)
{
    errors_[port] = std::move(text);
    return result;
}

std::string QtSerialPorts::errorText(int port) const
{
    const auto it = errors_.find(port);
    return it == errors_.end() ? std::string() : it->second;
}

int QtSerialPorts::open(int port)
{
    errors_.erase(port);
    if (find(port))
        return fail(port, SerialOpenFailed, comName(port) + " is already open.");
    const std::optional<std::string> device = map_.deviceFor(port);
    if (!device)
        return fail(port, SerialBadPort, comName(port) + " is not a serial port of this computer.");

    // Qt's lock file of a killed process goes first: Qt's own check can take
    // the process id, given meanwhile to another copy of this program, for
    // its owner (serial_port_lock.h).
    if (const auto holder = clearStaleSerialLock(*device))
        return fail(port, SerialBusy, inUseText(port, *device, holder));
    auto serial = std::make_unique<QSerialPort>();
    serial->setPortName(QString::fromStdString(*device));
    if (!serial->open(QIODevice::ReadWrite)) {
        const QSerialPort::SerialPortError error = serial->error();
        if (error == QSerialPort::PermissionError) {
            // Qt reports a lock held by another program the same way; only
            // the file's own access bits make it a permission problem.
            if (::access(device->c_str(), R_OK | W_OK) != 0 && (errno == EACCES || errno == EPERM))
                return fail(port, SerialPermissionDenied, permissionDeniedText(port, *device));
            auto holder = clearStaleSerialLock(*device);
            if (!holder)
                holder = processHolding(*device);
            return fail(port, SerialBusy, inUseText(port, *device, holder));
        }
        if (error == QSerialPort::DeviceNotFoundError)
            return fail(port, SerialBadPort, *device + " (" + comName(port) + ") is not present.");
        return fail(port, SerialOpenFailed,
                    "Cannot open " + *device + " (" + comName(port) + "): " + serial->errorString().toStdString());
    }
    device_[port] = *device;
    open_[port] = std::move(serial);
    return SerialOk;
}

int QtSerialPorts::ioctl(int port, int baudCode, int mode)
{
    QSerialPort* serial = find(port);
    if (!serial)
        return SerialNotOpen;
    if (baudCode != BaudCode9600 || mode != Mode8N1)
        return SerialBadParameter;
    const bool set = serial->setBaudRate(QSerialPort::Baud9600) && serial->setDataBits(QSerialPort::Data8)
        && serial->setParity(QSerialPort::NoParity) && serial->setStopBits(QSerialPort::OneStop)
        && serial->setFlowControl(QSerialPort::NoFlowControl);
    return set ? SerialOk : fail(port, SerialIoError, serial->errorString().toStdString());
}

bool QtSerialPorts::pump(int port, QSerialPort& serial)
{
    if (fatal(serial.error()))
        return false;
    // A zero wait reads what the driver holds without blocking; "nothing
    // arrived" shows as a time-out, which is no error here.
    serial.waitForReadyRead(0);
    if (serial.error() == QSerialPort::TimeoutError)
        serial.clearError();
    if (fatal(serial.error())) {
        fail(port, SerialIoError, device_[port] + " (" + comName(port) + ") failed: "
                 + serial.errorString().toStdString());
        return false;
    }
    return true;
}

int QtSerialPorts::flush(int port, int which)
{
    QSerialPort* serial = find(port);
    if (!serial)
        return SerialNotOpen;
    if (!pump(port, *serial))
        return SerialIoError;
    QSerialPort::Directions directions = QSerialPort::AllDirections;
    if (which == FlushReceive)
        directions = QSerialPort::Input;
    else if (which == FlushSend)
        directions = QSerialPort::Output;
    else if (which != FlushBoth)
        return SerialBadParameter;
    return serial->clear(directions) ? SerialOk : fail(port, SerialIoError, serial->errorString().toStdString());
}

int QtSerialPorts::write(int port, const std::uint8_t* data, int count)
{
    QSerialPort* serial = find(port);
    if (!serial)
        return SerialNotOpen;
    if (count < 0 || (!data && count > 0))
        return SerialBadParameter;
    if (fatal(serial->error()))
        return SerialIoError;
    const qint64 written = serial->write(reinterpret_cast<const char*>(data), count);
    // Hand the bytes to the driver now rather than at the next event loop pass.
    serial->flush();
    if (written != count || fatal(serial->error()))
        return fail(port, SerialIoError, device_[port] + " (" + comName(port) + ") failed: "
                        + serial->errorString().toStdString());
    return static_cast<int>(written);
}

int QtSerialPorts::iqueue(int port)
{
    QSerialPort* serial = find(port);
    if (!serial)
        return SerialNotOpen;
    if (!pump(port, *serial))
        return SerialIoError;
    return static_cast<int>(std::min<qint64>(serial->bytesAvailable(), 0x7FFFFFFF));
}

int QtSerialPorts::read(int port, std::uint8_t* buffer, int count)
{
    QSerialPort* serial = find(port);
    if (!serial)
        return SerialNotOpen;
    if (count < 0 || (!buffer && count > 0))
        return SerialBadParameter;
    if (!pump(port, *serial))
        return SerialIoError;
    const qint64 got = serial->read(reinterpret_cast<char*>(buffer), count);
    return got < 0 ? fail(port, SerialIoError, serial->errorString().toStdString()) : static_cast<int>(got);
}

int QtSerialPorts::getch(int port)
{
    QSerialPort* serial = find(port);
    if (!serial)
        return SerialNotOpen;
    if (!pump(port, *serial))
        return SerialIoError;
    char c = 0;
    if (serial->bytesAvailable() <= 0 || !serial->getChar(&c))
        return SerialNoData;
    return static_cast<std::uint8_t>(c);
}

int QtSerialPorts::lstatus(int port)
{
    QSerialPort* serial = find(port);
    return serial && serial->isOpen() ? SerialOk : SerialNotOpen;
}

int QtSerialPorts::close(int port)
{
    const auto it = open_.find(port);
    if (it == open_.end())
        return SerialNotOpen;
    it->second->close();
    open_.erase(it);
    device_.erase(port);
    return SerialOk;
}

} // namespace px316t
