// A stand-in for SetupAPI (setupapi.dll) for the checks under wine, which has
// no USB serial devices: the Ports class holds the devices that
// PX316T_STANDIN_PORTS describes, one per ';'-separated entry of four
// '|'-separated fields: port name, friendly name, instance id, parent's
// instance id, e.g.
//   COM7|USB Serial Port (COM7)|FTDIBUS\VID_0403+PID_6001+A10K3QA\0000|USB\VID_0403&PID_6001\A10K3Q
// The hardware id is the instance id up to its last '\'. Only the calls the
// program makes are offered; wine loads this file instead of its own with
// WINEDLLOVERRIDES=setupapi=n.
#include <windows.h>

#include <string>
#include <vector>

namespace {

struct Device {
    std::wstring port, friendly, instance, parent;
};

struct DevInfoData {   // SP_DEVINFO_DATA
    DWORD cbSize;
    GUID ClassGuid;
    DWORD DevInst;
    ULONG_PTR Reserved;
};

constexpr DWORD kFirstDevice = 1000;   // DevInst of device i: 1000 + i; of its parent: 2000 + i
constexpr DWORD kFirstParent = 2000;
constexpr DWORD kFriendlyName = 0x0C;  // SPDRP_FRIENDLYNAME
constexpr DWORD kHardwareId = 0x01;    // SPDRP_HARDWAREID
constexpr DWORD kNoSuchDevnode = 0x0D; // CR_NO_SUCH_DEVNODE

std::vector<std::wstring> split(const std::wstring& text, wchar_t separator)
{
    std::vector<std::wstring> parts(1);
    for (wchar_t c : text) {
        if (c == separator)
            parts.emplace_back();
        else
            parts.back() += c;
    }
    return parts;
}

std::vector<Device> devices()
{
    std::vector<Device> list;
    wchar_t value[4096] = {};
    if (!GetEnvironmentVariableW(L"PX316T_STANDIN_PORTS", value, 4096))
        return list;
    for (const std::wstring& entry : split(value, L';')) {
        const auto fields = split(entry, L'|');
        if (fields.size() == 4)
            list.push_back({fields[0], fields[1], fields[2], fields[3]});
    }
    return list;
}

const Device* device(DWORD devInst, bool* parent = nullptr)
{
    static const std::vector<Device> list = devices();
    const bool isParent = devInst >= kFirstParent;
    const DWORD index = devInst - (isParent ? kFirstParent : kFirstDevice);
    if (devInst < kFirstDevice || index >= list.size())
        return nullptr;
    if (parent)
        *parent = isParent;
    return &list[index];
}

BOOL copyText(const std::wstring& text, wchar_t* buffer, DWORD size)
{
    if (text.size() + 1 > size) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    text.copy(buffer, text.size());
    buffer[text.size()] = L'\0';
    return TRUE;
}

} // namespace

extern "C" {

__declspec(dllexport) HANDLE WINAPI SetupDiGetClassDevsW(const GUID*, const wchar_t*, HWND, DWORD)
{
    return reinterpret_cast<HANDLE>(static_cast<ULONG_PTR>(0x5e7));
}

__declspec(dllexport) BOOL WINAPI SetupDiEnumDeviceInfo(HANDLE, DWORD index, DevInfoData* data)
{
    if (!device(kFirstDevice + index)) {
        SetLastError(ERROR_NO_MORE_ITEMS);
        return FALSE;
    }
    data->DevInst = kFirstDevice + index;
    return TRUE;
}

__declspec(dllexport) BOOL WINAPI SetupDiDestroyDeviceInfoList(HANDLE) { return TRUE; }

__declspec(dllexport) HKEY WINAPI SetupDiOpenDevRegKey(HANDLE, DevInfoData* data, DWORD, DWORD, DWORD, REGSAM)
{
    const Device* d = device(data->DevInst);
    if (!d)
        return static_cast<HKEY>(INVALID_HANDLE_VALUE);
    // A key of the throw-away prefix holds the device's PortName, as Windows' device key does.
    const std::wstring path = L"Software\\px316t-setupapi-standin\\" + std::to_wstring(data->DevInst);
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return static_cast<HKEY>(INVALID_HANDLE_VALUE);
    RegSetValueExW(key, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(d->port.c_str()),
                   static_cast<DWORD>((d->port.size() + 1) * sizeof(wchar_t)));
    return key;
}

__declspec(dllexport) BOOL WINAPI SetupDiGetDeviceRegistryPropertyW(HANDLE, DevInfoData* data, DWORD property,
                                                                    DWORD* type, BYTE* buffer, DWORD size,
                                                                    DWORD* required)
{
    const Device* d = device(data->DevInst);
    std::wstring text;
    if (d && property == kFriendlyName)
        text = d->friendly;
    else if (d && property == kHardwareId)
        text = d->instance.substr(0, d->instance.rfind(L'\\'));
    if (text.empty()) {
        SetLastError(ERROR_INVALID_DATA);
        return FALSE;
    }
    if (type)
        *type = property == kHardwareId ? REG_MULTI_SZ : REG_SZ;
    const DWORD bytes = static_cast<DWORD>((text.size() + 2) * sizeof(wchar_t));
    if (required)
        *required = bytes;
    if (size < bytes) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    text.push_back(L'\0');
    return copyText(text, reinterpret_cast<wchar_t*>(buffer), size / sizeof(wchar_t));
}

__declspec(dllexport) BOOL WINAPI SetupDiGetDeviceInstanceIdW(HANDLE, DevInfoData* data, wchar_t* id, DWORD size,
                                                              DWORD*)
{
    const Device* d = device(data->DevInst);
    return d ? copyText(d->instance, id, size) : FALSE;
}

__declspec(dllexport) DWORD WINAPI CM_Get_Parent(DWORD* parent, DWORD devInst, ULONG)
{
    bool isParent = false;
    if (!device(devInst, &isParent) || isParent)
        return kNoSuchDevnode;
    *parent = devInst - kFirstDevice + kFirstParent;
    return 0;
}

__declspec(dllexport) DWORD WINAPI CM_Get_Device_IDW(DWORD devInst, wchar_t* id, ULONG size, ULONG)
{
    bool isParent = false;
    const Device* d = device(devInst, &isParent);
    if (!d || !isParent)
        return kNoSuchDevnode;
    return copyText(d->parent, id, size) ? 0 : 0x1A;   // CR_BUFFER_SMALL
}

} // extern "C"
