// How a port is described from what Windows' SetupAPI or Qt Serial Port tell
// of it: USB ids, the serial number among the device ids, the text shown.
#include "link/usb/port_description.h"

#include <gtest/gtest.h>

namespace px316t {
namespace {

TEST(PortDescription, UsbIdsFromDeviceIds)
{
    const struct {
        const char* id;
        int vendor, product;   // -1: none
    } cases[] = {
        {"USB\\VID_0403&PID_6001\\A10K3Q", 0x0403, 0x6001},
        {"FTDIBUS\\VID_0403+PID_6015+DN0123ABA\\0000", 0x0403, 0x6015},
        {"usb\\vid_1a86&pid_7523", 0x1a86, 0x7523},
        {"ACPI\\PNP0501\\1", -1, -1},
        {"USB\\VID_04XZ&PID_6001\\1", -1, -1},
        {"USB\\VID_0403", -1, -1},
    };
    for (const auto& c : cases) {
        PortDescription d;
        usbIdsFromDeviceId(c.id, d);
        EXPECT_EQ(d.vendorId ? int(*d.vendorId) : -1, c.vendor) << c.id;
        EXPECT_EQ(d.productId ? int(*d.productId) : -1, c.product) << c.id;
    }
}

TEST(PortDescription, SerialNumberFromTheDeviceOrItsParents)
{
    const struct {
        std::vector<std::string> ids;   // the device first, then its parents
        const char* serial;
    } cases[] = {
        // An FTDI adapter: its USB parent holds the serial; the bus id adds the channel letter.
        {{"FTDIBUS\\VID_0403+PID_6001+A10K3QA\\0000", "USB\\VID_0403&PID_6001\\A10K3Q", "USB\\ROOT_HUB30\\4&1&0"},
         "A10K3Q"},
        {{"FTDIBUS\\VID_0403+PID_6001+A10K3QA\\0000"}, "A10K3QA"},
        // A CDC device without a serial number: Windows makes the id up.
        {{"USB\\VID_1A86&PID_7523\\5&2B8F1C3&0&2", "USB\\ROOT_HUB30\\4&1&0"}, ""},
        // An interface of a composite device: the serial is its parent's.
        {{"USB\\VID_2341&PID_0043&MI_00\\6&3A1&0&0000", "USB\\VID_2341&PID_0043\\75735323830351B0A1C2"},
         "75735323830351B0A1C2"},
        {{"ACPI\\PNP0501\\1", "ACPI\\PNP0A08\\0"}, ""},
        {{}, ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(serialFromInstanceIds(c.ids), c.serial) << (c.ids.empty() ? "none" : c.ids.front());
}

TEST(PortDescription, TextShowsWhatIsKnown)
{
    PortDescription ftdi{"USB Serial Port (COM5)", 0x0403, 0x6001, "A10K3Q"};
    EXPECT_EQ(portText(5, ftdi), "COM5 \u2014 USB Serial Port, 0403:6001, serial A10K3Q");
    // Qt Serial Port's description on Linux carries no port number.
    PortDescription udev{"FT232R USB UART", 0x0403, 0x6001, "A10K3Q"};
    EXPECT_EQ(portText(1, udev), "COM1 \u2014 FT232R USB UART, 0403:6001, serial A10K3Q");
    EXPECT_EQ(portText(3, {"Communications Port (COM3)", {}, {}, ""}), "COM3 \u2014 Communications Port");
    EXPECT_EQ(portText(12, {"", 0x1a86, 0x7523, ""}), "COM12 \u2014 1a86:7523");
    EXPECT_EQ(portText(7, {}), "COM7");
    EXPECT_EQ(portDetailsText(7, {}), "");
}

TEST(PortDescription, PortsByTheirBoardsSerialNumber)
{
    const std::map<int, PortDescription> ports = {
        {3, {"USB Serial Port (COM3)", 0x0403, 0x6001, "A10K3Q"}},
        {4, {"USB Serial Port (COM4)", 0x0403, 0x6001, "B20Z9X"}},
        {9, {"Communications Port (COM9)", {}, {}, ""}},
    };
    EXPECT_EQ(portsWithSerial(ports, "B20Z9X"), std::vector<int>{4});
    EXPECT_EQ(portsWithSerial(ports, "a10k3q"), std::vector<int>{3});
    EXPECT_TRUE(portsWithSerial(ports, "A10K3").empty());
    EXPECT_TRUE(portsWithSerial(ports, "").empty()) << "a port without a serial number is not named by none";
}

} // namespace
} // namespace px316t
