#pragma once
// Messages kept back while the window starts: the start-up's messages (no
// board, a port the user may not open) appear once the window is on the
// screen, together in one box, rather than as several boxes before it.
#include "link/message_boxes.h"

#include <QStringList>

namespace px316t {

class HeldMessages final : public MessageBoxes {
public:
    explicit HeldMessages(MessageBoxes& shown) : shown_(shown) {}

    // From now on messages are kept until release().
    void hold() { holding_ = true; }
    // Shows what was kept as one message, its texts in the order they came (a
    // text said twice once), with a warning icon if any of them had one; later
    // messages pass straight on.
    void release();

    void message(const QString& text, Icon icon = Icon::None) override;
    // A question needs its answer at once: it is never held.
    bool askYesNo(const QString& text) override { return shown_.askYesNo(text); }

private:
    MessageBoxes& shown_;
    bool holding_ = false;
    QStringList held_;
    bool warning_ = false;
};

} // namespace px316t
