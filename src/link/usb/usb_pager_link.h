#pragma once
// The USB programming board as a pager link: the memory in blocks of 128
// bytes, the read compared with the image for a verify.
#include "link/message_boxes.h"
#include "link/pager_link.h"
#include "link/usb/usb_link.h"

namespace px316t {

class UsbPagerLink final : public PagerLink {
public:
    UsbPagerLink(UsbLink& usb, MessageBoxes& messages) : usb_(usb), messages_(messages) {}

    bool writeAll(const PagerTable& table, ProgressView& progress) override;
    bool readAll(PagerTable& table, ProgressView& progress) override;
    bool verifyAll(const PagerTable& table, ProgressView& progress) override;
    TransferFailure lastFailure() const override { return lastFailure_; }
    std::optional<int> lastDifference() const override { return lastDifference_; }
    bool lastWriteStarted() const override { return usb_.WriteFrameSentInLastTransfer(); }
    void holdVerifySuccess(bool hold) override { holdVerifySuccess_ = hold; }

private:
    // What the link says about its last failed transfer.
    TransferFailure linkFailure() const;

    UsbLink& usb_;
    MessageBoxes& messages_;
    TransferFailure lastFailure_ = TransferFailure::None;
    std::optional<int> lastDifference_;
    bool holdVerifySuccess_ = false;
};

} // namespace px316t
