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

// `port` says where the board is ("COM5 — USB Serial Port, 0403:6001,
// serial A10K3Q"); it follows the line's text when given.
inline void showBoardConnected(BoardStatusView& view, const QString& port = {})
{
    view.setMessageLine(port.isEmpty() ? BoardConnectText : BoardConnectText + QStringLiteral("   ") + port,
                        BoardConnectColor);
    view.setPagerMenuEnabled(true);
}

inline void showBoardDisconnected(BoardStatusView& view)
{
    view.setMessageLine(BoardDisconnectText, BoardDisconnectColor);
    view.setPagerMenuEnabled(false);
}

} // namespace px316t
