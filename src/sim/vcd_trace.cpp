#include "sim/vcd_trace.h"

#include <cerrno>
#include <cstring>

namespace px316t {

bool VcdTrace::open(const std::string& path, bool scl, bool sda)
{
    problem_.clear();
    out_.open(path, std::ios::out | std::ios::trunc);
    if (!out_) {
        problem_ = std::strerror(errno);
        return false;
    }
    scl_ = scl;
    sda_ = sda;
    out_ << "$version px316t parallel-port bus $end\n"
            "$timescale 1 us $end\n"
            "$scope module bus $end\n"
            "$var wire 1 c scl $end\n"
            "$var wire 1 d sda $end\n"
            "$upscope $end\n"
            "$enddefinitions $end\n"
            "#0\n$dumpvars\n"
         << (scl ? '1' : '0') << "c\n" << (sda ? '1' : '0') << "d\n$end\n";
    lastUs_ = 0;
    check();
    return problem_.empty();
}

void VcdTrace::change(std::int64_t ns, bool scl, bool sda)
{
    if (!out_.is_open())
        return;
    if (!started_)
        start(ns);
    std::int64_t us = (ns - startNs_) / 1000;
    // Times never run backwards in a dump.
    if (us < lastUs_)
        us = lastUs_;
    if (us != lastUs_)
        out_ << '#' << us << '\n';
    lastUs_ = us;
    if (scl != scl_)
        out_ << (scl ? '1' : '0') << "c\n";
    if (sda != sda_)
        out_ << (sda ? '1' : '0') << "d\n";
    // Each STOP ends a transfer: the file then holds it whole, even if the
    // program is killed later.
    if (scl && scl_ && sda && !sda_) {
        out_.flush();
        check();
    }
    scl_ = scl;
    sda_ = sda;
}

bool VcdTrace::close()
{
    if (out_.is_open()) {
        out_ << '#' << (lastUs_ + 100) << '\n';
        out_.flush();
        check();
        out_.close();
        if (out_.fail() && problem_.empty())
            problem_ = std::strerror(errno);
    }
    return problem_.empty();
}

void VcdTrace::check()
{
    if (!out_ && problem_.empty())
        problem_ = errno ? std::strerror(errno) : "the file could not be written";
}

} // namespace px316t
