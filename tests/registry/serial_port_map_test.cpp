#include "registry/serial_port_map.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include "registry/cls_registry_access.h"
#include "registry/registry_backend.h"
#include "registry_test_folder.h"

namespace px316t {
namespace {

namespace fs = std::filesystem;
using test::TempFolder;

// A pseudo-terminal whose slave side stands in for a serial device while it is open.
class PseudoTerminal {
public:
    PseudoTerminal() {
        m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
        if (m_master >= 0 && ::grantpt(m_master) == 0 && ::unlockpt(m_master) == 0) {
            if (const char* name = ::ptsname(m_master)) m_slave = name;
        }
    }
    ~PseudoTerminal() { close(); }
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    void close() {
        if (m_master >= 0) ::close(m_master);
        m_master = -1;
    }
    const std::string& slave() const { return m_slave; }

private:
    int m_master = -1;
    std::string m_slave;
};

class SerialPortMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        options.configHome = folder.path() / "config";
        options.includeSystemPorts = false;
        links = SerialPortMap::linkFolder(options.configHome);
        fs::create_directories(links);
    }
    void link(const std::string& name, const fs::path& target) { fs::create_symlink(target, links / name); }

    TempFolder folder;
    SerialPortMapOptions options;
    fs::path links;
};

TEST_F(SerialPortMapTest, LinkFolderFollowsXdgConfigHome) {
    EXPECT_EQ(links, folder.path() / "config" / "px316t" / "ports");
    const char* saved = std::getenv("XDG_CONFIG_HOME");
    const std::string previous = saved ? saved : "";
    ::setenv("XDG_CONFIG_HOME", "/tmp/px316t-xdg-config", 1);
    EXPECT_EQ(SerialPortMap::linkFolder(), fs::path("/tmp/px316t-xdg-config/px316t/ports"));
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_NE(SerialPortMap::linkFolder().string().find(".config/px316t/ports"), std::string::npos);
    if (saved) ::setenv("XDG_CONFIG_HOME", previous.c_str(), 1);
}

TEST_F(SerialPortMapTest, ALinkToAPseudoTerminalIsAPortUntilItsTargetGoes) {
    PseudoTerminal pty;
    ASSERT_FALSE(pty.slave().empty());
    link("com7", pty.slave());

    SerialPortMap map(options);
    const auto ports = map.ports();
    ASSERT_EQ(ports.size(), 1u);
    EXPECT_EQ(ports[0].comNumber, 7);
    EXPECT_EQ(ports[0].valueName, fs::canonical(pty.slave()).string());
    EXPECT_EQ(map.deviceFor(7), fs::canonical(pty.slave()).string());
    EXPECT_EQ(map.deviceFor(1), std::nullopt);

    pty.close();  // the slave device disappears with its master
    EXPECT_TRUE(map.ports().empty());
    EXPECT_EQ(map.deviceFor(7), std::nullopt);
}

TEST_F(SerialPortMapTest, OnlyLinksNamedComNToCharacterDevicesCount) {
    PseudoTerminal first;
    PseudoTerminal second;
    ASSERT_FALSE(first.slave().empty());
    link("com3", second.slave());
    link("COM12", first.slave());
    link("com2", folder.path() / "gone");  // dangling
    link("com04", first.slave());          // leading zero: no port name
    link("com0", first.slave());
    link("com256", first.slave());          // beyond COM255, the highest number --port takes
    link("comx", first.slave());
    test::writeFile(folder.path() / "plain", "text");
    link("com5", folder.path() / "plain");  // a file, no device
    test::writeFile(links / "com6", "a plain file");
    link("com9", second.slave());           // same device as com3: listed once, as COM3

    const auto ports = SerialPortMap(options).ports();
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].comNumber, 3);
    EXPECT_EQ(ports[0].device, fs::canonical(second.slave()).string());
    EXPECT_EQ(ports[1].comNumber, 12);
}

TEST_F(SerialPortMapTest, SerialCommKeyListsTheLinkedPorts) {
    PseudoTerminal one;
    PseudoTerminal three;
    link("com1", one.slave());
    link("com3", three.slave());
    PortableRegistryOptions registryOptions;
    registryOptions.storeFile = folder.path() / "store.sqlite";
    registryOptions.ports = options;
    clsRegistryAccess reg(makePortableRegistryBackend(registryOptions));

    for (const std::string path : {"hklm\\HARDWARE\\DEVICEMAP\\SERIALCOMM",
                                   "HKEY_LOCAL_MACHINE\\HARDWARE\\DEVICEMAP\\SERIALCOMM"}) {
        SCOPED_TRACE(path);
        std::vector<std::string> names;
        std::vector<RegVariant> values;
        ASSERT_EQ(reg.EnumValues(path, names, values, -1), 2);
        EXPECT_EQ(names, (std::vector<std::string>{fs::canonical(one.slave()).string(),
                                                   fs::canonical(three.slave()).string()}));
        EXPECT_EQ(values, (std::vector<RegVariant>{std::string("COM1"), std::string("COM3")}));
        EXPECT_EQ(reg.ReadString(path, names[1], ""), "COM3");
    }

    // The key is read afresh every time.
    fs::remove(links / "com1");
    std::vector<std::string> names;
    std::vector<RegVariant> values;
    EXPECT_EQ(reg.EnumValues("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", names, values, -1), 1);
    fs::remove(links / "com3");
    EXPECT_EQ(reg.EnumValues("HKLM\\HARDWARE\\DEVICEMAP\\SERIALCOMM", names, values, -1), 0);
    EXPECT_TRUE(names.empty());
}

// The machine's own ports, seen through a made-up sysfs and /dev so the test controls them.
class SystemPortsTest : public SerialPortMapTest {
protected:
    void SetUp() override {
        SerialPortMapTest::SetUp();
        options.includeSystemPorts = true;
        options.sysClassTty = folder.path() / "sys";
        options.devFolder = folder.path() / "dev";
        options.serialById = folder.path() / "by-id";
        for (const auto& dir : {options.sysClassTty, options.devFolder, options.serialById})
            fs::create_directories(dir);
    }
    // A tty as the kernel lists it; type "" leaves the type file out.
    void tty(const std::string& name, bool hardware, const std::string& type, const fs::path& node) {
        fs::create_directories(options.sysClassTty / name);
        if (hardware) fs::create_directories(options.sysClassTty / name / "device");
        if (!type.empty()) test::writeFile(options.sysClassTty / name / "type", type + "\n");
        fs::create_symlink(node, options.devFolder / name);
    }
    void unplug(const std::string& name) {
        fs::remove_all(options.sysClassTty / name);
        fs::remove(options.devFolder / name);
    }
};

TEST_F(SystemPortsTest, RealPortsGetLastingNumbersAndPhantomsAreLeftOut) {
    PseudoTerminal adapter;
    tty("ttyS0", true, "4", "/dev/null");  // a UART
    tty("ttyS1", true, "0", "/dev/zero");  // reserved by the driver, no UART
    tty("tty1", false, "", "/dev/full");   // a virtual terminal
    tty("ttyUSB0", true, "", adapter.slave());
    fs::create_symlink(adapter.slave(), options.serialById / "usb-Maker_Adapter_A1-if00-port0");

    SerialPortMap map(options);
    auto ports = map.ports();
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].comNumber, 1);
    EXPECT_EQ(ports[0].device, "/dev/null");
    EXPECT_EQ(ports[1].comNumber, 2);
    EXPECT_EQ(ports[1].device, fs::canonical(adapter.slave()).string());
    // The numbers are kept as links, the adapter's by its stable name.
    EXPECT_EQ(fs::read_symlink(links / "com2"), options.serialById / "usb-Maker_Adapter_A1-if00-port0");

    // Unplugged: its number stays reserved while another adapter arrives.
    fs::remove(options.serialById / "usb-Maker_Adapter_A1-if00-port0");
    unplug("ttyUSB0");
    PseudoTerminal other;
    tty("ttyUSB1", true, "", other.slave());
    ports = SerialPortMap(options).ports();
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[1].comNumber, 3);

    // Plugged in again it comes back under another tty name, and keeps COM2.
    PseudoTerminal replugged;
    tty("ttyUSB2", true, "", replugged.slave());
    fs::create_symlink(replugged.slave(), options.serialById / "usb-Maker_Adapter_A1-if00-port0");
    ports = SerialPortMap(options).ports();
    ASSERT_EQ(ports.size(), 3u);
    EXPECT_EQ(ports[1].comNumber, 2);
    EXPECT_EQ(ports[1].device, fs::canonical(replugged.slave()).string());
    EXPECT_EQ(ports[2].comNumber, 3);
}

TEST_F(SystemPortsTest, LeavingOutSystemPortsListsAndWritesNothingElse) {
    tty("ttyS0", true, "4", "/dev/null");
    options.includeSystemPorts = false;
    EXPECT_TRUE(SerialPortMap(options).ports().empty());
    EXPECT_TRUE(fs::is_empty(links));
}

TEST_F(SystemPortsTest, WithoutAWritableLinkFolderPortsAreStillNumbered) {
    tty("ttyS0", true, "4", "/dev/null");
    tty("ttyS2", true, "4", "/dev/zero");
    // The configuration folder is taken by a file, so no link can be kept.
    options.configHome = folder.path() / "blocked";
    test::writeFile(options.configHome, "not a folder");
    const auto ports = SerialPortMap(options).ports();
    ASSERT_EQ(ports.size(), 2u);
    EXPECT_EQ(ports[0].comNumber, 1);
    EXPECT_EQ(ports[1].comNumber, 2);
    EXPECT_EQ(ports[1].device, "/dev/zero");
}

}  // namespace
}  // namespace px316t
