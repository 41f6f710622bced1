#pragma once
// Shared by the fuzz harnesses: the entry points libFuzzer calls, and the
// check that turns a broken promise of the code under test into a crash, which
// both the fuzzer and the corpus replay report with the input that caused it.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);

namespace px316t::fuzz {

[[noreturn]] inline void fail(const char* what, const char* file, int line)
{
    std::fprintf(stderr, "%s:%d: fuzz check failed: %s\n", file, line, what);
    std::abort();
}

} // namespace px316t::fuzz

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : ::px316t::fuzz::fail(#condition, __FILE__, __LINE__))
