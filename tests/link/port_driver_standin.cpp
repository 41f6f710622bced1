// A stand-in for the port driver library (inpoutx64.dll) for the tests under
// wine: Out32 and Inp32 over a register file in memory, and two calls of its
// own through which a test sets a status register and reads what was written.
#include <windows.h>

namespace {
unsigned char registers[0x10000];
long writes = 0;
} // namespace

extern "C" {

__declspec(dllexport) void __stdcall Out32(short address, short value)
{
    registers[static_cast<unsigned short>(address)] = static_cast<unsigned char>(value);
    ++writes;
}

__declspec(dllexport) short __stdcall Inp32(short address)
{
    return registers[static_cast<unsigned short>(address)];
}

__declspec(dllexport) void __stdcall StandinSet(short address, short value)
{
    registers[static_cast<unsigned short>(address)] = static_cast<unsigned char>(value);
}

__declspec(dllexport) short __stdcall StandinGet(short address)
{
    return registers[static_cast<unsigned short>(address)];
}

__declspec(dllexport) long __stdcall StandinWrites() { return writes; }
}
