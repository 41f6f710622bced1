// The parallel-port access of the Windows build against a stand-in port
// driver library built by the tests (standin/inpoutx64.dll beside the test).
#include "link/lpt/port_io_windows.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>

namespace px316t {
namespace {

std::wstring standinFolder()
{
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/")) + L"\\standin";
}

TEST(WindowsPortIo, WithoutTheDriverLibraryNothingIsTouchedAndTheTechnicianIsTold)
{
    WindowsPortIo io;
    EXPECT_EQ(io.in(0x379), 0xFF);
    io.out(0x378, 0x12);
    EXPECT_NE(io.problem().find("inpoutx64.dll"), std::string::npos) << io.problem();
}

TEST(WindowsPortIo, ReachesThePortRegistersThroughTheDriverLibrary)
{
    ASSERT_TRUE(SetDllDirectoryW(standinFolder().c_str()));
    HMODULE standin = LoadLibraryW(L"inpoutx64.dll");
    ASSERT_NE(standin, nullptr);
    using Set = void(__stdcall*)(short, short);
    using Get = short(__stdcall*)(short);
    using Writes = long(__stdcall*)();
    const auto function = [&](const char* name) { return reinterpret_cast<void (*)()>(GetProcAddress(standin, name)); };
    const auto set = reinterpret_cast<Set>(function("StandinSet"));
    const auto get = reinterpret_cast<Get>(function("StandinGet"));
    const auto writes = reinterpret_cast<Writes>(function("StandinWrites"));
    ASSERT_TRUE(set && get && writes);

    {
        WindowsPortIo io;
        set(0x279, 0x87);
        EXPECT_EQ(io.in(0x279), 0x87);
        io.out(0x3BC, 0xA5);
        EXPECT_EQ(get(0x3BC), 0xA5);
        EXPECT_TRUE(io.problem().empty()) << io.problem();
        // Only the three ports' data and status registers are ever touched.
        const long before = writes();
        io.out(0x37A, 0xFF);
        io.out(0x80, 0x01);
        EXPECT_EQ(writes(), before);
        set(0x37A, 0x33);
        EXPECT_EQ(io.in(0x37A), 0xFF);
    }
    SetDllDirectoryW(nullptr);
    FreeLibrary(standin);
}

} // namespace
} // namespace px316t
