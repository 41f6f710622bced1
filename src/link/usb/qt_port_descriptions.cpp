// The ports as Qt Serial Port describes them on Linux (udev's properties where
// udev runs, sysfs otherwise): matched to the listed ports by device.
#include "link/usb/port_description.h"

#include <QFileInfo>
#include <QSerialPortInfo>

namespace px316t {

std::map<int, PortDescription> systemPortDescriptions(const std::vector<ListedPort>& ports)
{
    std::map<int, PortDescription> found;
    const QList<QSerialPortInfo> infos = QSerialPortInfo::availablePorts();
    for (const ListedPort& port : ports) {
        if (!port.number)
            continue;
        const QString device = QFileInfo(QString::fromStdString(port.name)).canonicalFilePath();
        for (const QSerialPortInfo& info : infos) {
            if (device.isEmpty() || QFileInfo(info.systemLocation()).canonicalFilePath() != device)
                continue;
            PortDescription description;
            description.friendlyName = info.description().toStdString();
            if (info.hasVendorIdentifier() && info.hasProductIdentifier()) {
                description.vendorId = info.vendorIdentifier();
                description.productId = info.productIdentifier();
            }
            description.serialNumber = info.serialNumber().toStdString();
            if (!description.empty())
                found[*port.number] = description;
        }
    }
    return found;
}

} // namespace px316t
