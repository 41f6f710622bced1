#pragma once
// What the link shows on the main window: the message line under the pages and
// the enabled state of the "Pager" menu. The main window implements it.
#include <QString>

#include <cstdint>

namespace px316t {

// A plain colour, so that the link needs no painting library; the face turns
// it into its own colour type.
struct Rgb {
    std::uint8_t r = 0;
    std::uint8_t g = 0;
    std::uint8_t b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

class BoardStatusView {
public:
    virtual ~BoardStatusView() = default;
    virtual void setMessageLine(const QString& text, Rgb color) = 0;
    virtual void setPagerMenuEnabled(bool enabled) = 0;
};

} // namespace px316t
