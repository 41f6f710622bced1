// A stand-in for SetupAPI (setupapi.dll) for the checks under wine, which has
// no USB serial devices. The Ports class holds the devices PX316T_STANDIN_PORTS
// names, ';' between devices, '|' between a device's port name, friendly name,
// instance id and parent's instance id, e.g.
//   COM7|USB Serial Port (COM7)|FTDIBUS\VID_0403+PID_6001+A10K3QA\0000|USB\VID_0403&PID_6001\A10K3Q
// Its hardware id is the instance id up to the last '\'. Only the calls the
// program makes are offered (wine loads it with WINEDLLOVERRIDES=setupapi=n).
#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

namespace {

struct Device {
    std::wstring field[4];   // port, friendly name, instance id, parent's instance id
};
struct DevInfoData {   // SP_DEVINFO_DATA
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};
constexpr DWORD kDevice = 1000, kParent = 2000;   // DevInst of device i and of its parent
constexpr DWORD kNoSuchDevnode = 0x0D;

const std::vector<Device>& devices()
{
    static const std::vector<Device> list = [] {
        std::vector<Device> found;
        wchar_t value[4096] = {};
        GetEnvironmentVariableW(L"PX316T_STANDIN_PORTS", value, 4096);
        std::wistringstream entries(value);
        for (std::wstring entry; std::getline(entries, entry, L';');) {
            std::wistringstream fields(entry);
            Device d;
            int n = 0;
            while (n < 4 && std::getline(fields, d.field[n], L'|'))
                ++n;
            if (n == 4)
                found.push_back(d);
        }
        return found;
    }();
    return list;
}

// Field `field` of the device behind `devInst`, or null.
const std::wstring* field(DWORD devInst, int field)
{
    const DWORD base = devInst >= kParent ? kParent : kDevice;
    if (devInst < kDevice || devInst - base >= devices().size() || (field == 3) != (base == kParent))
        return nullptr;
    return &devices()[devInst - base].field[field];
}

BOOL copy(const std::wstring& text, wchar_t* buffer, DWORD chars)
{
    if (text.size() + 2 > chars)
        return FALSE;
    text.copy(buffer, text.size());
    buffer[text.size()] = buffer[text.size() + 1] = L'\0';   // also ends a multi-string
    return TRUE;
}

} // namespace

extern "C" {

__declspec(dllexport) HANDLE WINAPI SetupDiGetClassDevsW(const GUID*, const wchar_t*, HWND, DWORD)
{
    return reinterpret_cast<HANDLE>(ULONG_PTR{1});
}

__declspec(dllexport) BOOL WINAPI SetupDiDestroyDeviceInfoList(HANDLE) { return TRUE; }

__declspec(dllexport) BOOL WINAPI SetupDiEnumDeviceInfo(HANDLE, DWORD index, DevInfoData* data)
{
    data->DevInst = kDevice + index;
    return index < devices().size();
}

// The device key's PortName, kept in a volatile key of the throw-away prefix.
__declspec(dllexport) HKEY WINAPI SetupDiOpenDevRegKey(HANDLE, DevInfoData* data, DWORD, DWORD, DWORD, REGSAM)
{
    const std::wstring* port = field(data->DevInst, 0);
    HKEY key = nullptr;
    if (!port || RegCreateKeyExW(HKEY_CURRENT_USER, (L"Software\\px316t-standin\\" + *port).c_str(), 0, nullptr,
                                 REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return static_cast<HKEY>(INVALID_HANDLE_VALUE);
    RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(port->c_str()),
                   static_cast<DWORD>((port->size() + 1) * sizeof(wchar_t)));
    return key;
}

__declspec(dllexport) BOOL WINAPI SetupDiGetDeviceRegistryPropertyW(HANDLE, DevInfoData* data, DWORD property,
                                                                    DWORD* type, BYTE* buffer, DWORD size, DWORD*)
{
    const bool hardwareId = property == 0x01;   // SPDRP_HARDWAREID; 0x0C is SPDRP_FRIENDLYNAME
    const std::wstring* text = field(data->DevInst, hardwareId ? 2 : 1);
    if (!text || (!hardwareId && property != 0x0C))
        return FALSE;
    if (type)
        *type = hardwareId ? REG_MULTI_SZ : REG_SZ;
    return copy(hardwareId ? text->substr(0, text->rfind(L'\\')) : *text, reinterpret_cast<wchar_t*>(buffer),
                size / sizeof(wchar_t));
}

__declspec(dllexport) BOOL WINAPI SetupDiGetDeviceInstanceIdW(HANDLE, DevInfoData* data, wchar_t* id, DWORD size,
                                                              DWORD*)
{
    const std::wstring* text = field(data->DevInst, 2);
    return text && copy(*text, id, size);
}

__declspec(dllexport) DWORD WINAPI CM_Get_Parent(DWORD* parent, DWORD devInst, ULONG)
{
    if (!field(devInst, 2))
        return kNoSuchDevnode;
    *parent = devInst - kDevice + kParent;
    return 0;
}

__declspec(dllexport) DWORD WINAPI CM_Get_Device_IDW(DWORD devInst, wchar_t* id, ULONG size, ULONG)
{
    const std::wstring* text = field(devInst, 3);
    return text && copy(*text, id, size) ? 0 : kNoSuchDevnode;
}

} // extern "C"
