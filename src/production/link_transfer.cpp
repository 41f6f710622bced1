#include "production/link_transfer.h"

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

std::string portName(LinkKind kind, int comPort)
{
    return kind == LinkKind::LPT ? "LPT" : "COM" + std::to_string(comPort);
}

} // namespace px316t
