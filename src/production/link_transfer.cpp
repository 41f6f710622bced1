#include "production/link_transfer.h"

#include "editor/capcode_codec.h"
#include "editor/capcode_increase.h"

#include <charconv>

namespace px316t {

RecordResult recordResultOf(TransferFailure failure)
{
    switch (failure) {
    case TransferFailure::None:
        return RecordResult::Success;
    case TransferFailure::VerifyMismatch:
        return RecordResult::VerifyError;
    case TransferFailure::BoardLost:
        return RecordResult::LinkLost;
    case TransferFailure::BadReply:
        return RecordResult::BadReply;
    case TransferFailure::NoAnswer:
        break;
    }
    return RecordResult::TimeOut;
}

PagerTransfer writeAndVerifyPager(ProgrammingSequence& sequence, const PagerTable& image, ProgressView& progress)
{
    PagerTransfer transfer;
    const bool written = sequence.write(image, progress);
    transfer.writeEnded = std::chrono::system_clock::now();
    transfer.writeStarted = sequence.lastWriteStarted();
    if (!written) {
        transfer.write = recordResultOf(sequence.lastFailure());
        return transfer;
    }
    sequence.verify(image, progress);
    transfer.verify = recordResultOf(sequence.lastFailure());
    return transfer;
}

PagerTransfer SequenceProgrammer::writeAndVerify(const PagerTable& image)
{
    sequence_.holdVerifySuccess(true);
    PagerTransfer transfer = writeAndVerifyPager(sequence_, image, progress_);
    sequence_.holdVerifySuccess(false);
    return transfer;
}

Status recordPagerTransfer(ProductionServices& services, const PagerTable& image, const PagerTransfer& transfer,
                           const std::string& port)
{
    Status status = services.recordTransfer(image, RecordOperation::Write, transfer.write, port, {},
                                            transfer.writeEnded);
    if (transfer.verify) {
        const Status verified = services.recordTransfer(image, RecordOperation::Verify, *transfer.verify, port);
        if (status.ok())
            status = verified;
    }
    return status;
}

PagerTable imageWithFirstCapcode(const PagerTable& base, std::uint64_t capcode, bool firstPairLong)
{
    if (firstCapcodeOfRun(base, firstPairLong) == capcode)
        return base;
    PagerTable image = base;
    storeCapcode(image, 0, static_cast<double>(capcode), firstPairLong);
    std::array<bool, 8> pairs = pairsLongInImage(image);
    pairs[0] = firstPairLong;
    refreshFrameMask(image, pairs);
    return image;
}

std::optional<std::uint64_t> firstCapcodeOfRun(const PagerTable& image, bool firstPairLong)
{
    const std::string text = shownCapcodeText(image, 0, firstPairLong);
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    return value;
}

std::string portName(LinkKind kind, int comPort)
{
    return kind == LinkKind::LPT ? "LPT" : "COM" + std::to_string(comPort);
}

} // namespace px316t
