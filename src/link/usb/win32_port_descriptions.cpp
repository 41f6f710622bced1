// The ports as the Device Manager shows them, through SetupAPI: every present
// device of the Ports class with its port name (the PortName value of its
// device key), friendly name, hardware id and the instance ids of the device
// and its parents (a USB serial adapter's serial number is in its own id or
// in its USB parent's).
#include "link/usb/port_description.h"

#include <windows.h>
#include <cfgmgr32.h>
#include <initguid.h>   // GUID_DEVCLASS_PORTS defined here, not taken from a library
#include <devguid.h>
#include <setupapi.h>

#include <algorithm>

namespace px316t {

namespace {

std::string utf8(const wchar_t* wide)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return {};
    std::string text(static_cast<std::size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
    return text;
}

std::string textProperty(HDEVINFO set, SP_DEVINFO_DATA& device, DWORD property)
{
    wchar_t buffer[512] = {};
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(set, &device, property, &type, reinterpret_cast<BYTE*>(buffer),
                                           sizeof buffer - sizeof(wchar_t), nullptr)
        || (type != REG_SZ && type != REG_MULTI_SZ))
        return {};
    return utf8(buffer);   // of a multi-string, the first
}

// n of the device key's PortName "COMn"; 0 when it names no COM port.
int portNumber(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    HKEY key = SetupDiOpenDevRegKey(set, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_QUERY_VALUE);
    if (key == INVALID_HANDLE_VALUE)
        return 0;
    wchar_t name[32] = {};
    DWORD size = sizeof name - sizeof(wchar_t);
    DWORD type = 0;
    const LONG rc = RegQueryValueExW(key, L"PortName", nullptr, &type, reinterpret_cast<BYTE*>(name), &size);
    RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_SZ || _wcsnicmp(name, L"COM", 3) != 0)
        return 0;
    const int number = _wtoi(name + 3);
    return number > 0 && number <= 255 ? number : 0;
}

// The device's instance id and those of up to three parents.
std::vector<std::string> instanceIds(HDEVINFO set, SP_DEVINFO_DATA& device)
{
    std::vector<std::string> ids;
    wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
    if (SetupDiGetDeviceInstanceIdW(set, &device, id, MAX_DEVICE_ID_LEN, nullptr))
        ids.push_back(utf8(id));
    DEVINST node = device.DevInst;
    for (int level = 0; level < 3; ++level) {
        DEVINST parent = 0;
        if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS || CM_Get_Device_IDW(parent, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS)
            break;
        ids.push_back(utf8(id));
        node = parent;
    }
    return ids;
}

} // namespace

std::map<int, PortDescription> systemPortDescriptions(const std::vector<ListedPort>& ports)
{
    std::map<int, PortDescription> found;
    HDEVINFO set = SetupDiGetClassDevsW(&GUID_DEVCLASS_PORTS, nullptr, nullptr, DIGCF_PRESENT);
    if (set == INVALID_HANDLE_VALUE)
        return found;
    SP_DEVINFO_DATA device {};
    device.cbSize = sizeof device;
    for (DWORD index = 0; SetupDiEnumDeviceInfo(set, index, &device); ++index) {
        const int com = portNumber(set, device);
        const bool listed = std::any_of(ports.begin(), ports.end(),
                                        [com](const ListedPort& p) { return p.number && *p.number == com; });
        if (com == 0 || !listed)
            continue;
        PortDescription description;
        description.friendlyName = textProperty(set, device, SPDRP_FRIENDLYNAME);
        if (description.friendlyName.empty())
            description.friendlyName = textProperty(set, device, SPDRP_DEVICEDESC);
        const std::vector<std::string> ids = instanceIds(set, device);
        usbIdsFromDeviceId(textProperty(set, device, SPDRP_HARDWAREID), description);
        for (const std::string& id : ids)
            usbIdsFromDeviceId(id, description);
        description.serialNumber = serialFromInstanceIds(ids);
        found[com] = description;
    }
    SetupDiDestroyDeviceInfoList(set);
    return found;
}

} // namespace px316t
