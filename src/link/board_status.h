#pragma once
// The two states of the main window's message line and Pager menu that the
// link shows: board known (black line, menu enabled) and board gone (red line,
// menu disabled).
#include "editor/messages.h"
#include "link/board_status_view.h"

#include <QString>

namespace px316t {

inline const QString BoardConnectText = QString::fromLatin1(messages::BoardConnect);
inline const QString BoardDisconnectText = QString::fromLatin1(messages::BoardDisconnect);
inline constexpr Rgb BoardConnectColor{0, 0, 0};
inline constexpr Rgb BoardDisconnectColor{255, 0, 0};

inline void showBoardConnected(BoardStatusView& view)
{
    view.setMessageLine(BoardConnectText, BoardConnectColor);
    view.setPagerMenuEnabled(true);
}

inline void showBoardDisconnected(BoardStatusView& view)
{
    view.setMessageLine(BoardDisconnectText, BoardDisconnectColor);
    view.setPagerMenuEnabled(false);
}

} // namespace px316t
