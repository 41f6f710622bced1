// The program: one main window, started with the platform's registry and dialogs.
#include "ui/form1.h"

#include <QApplication>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>

namespace {

// Qt aborts with a terse platform error when no display can be reached; say what
// to do instead.
bool displayReachable()
{
#if defined(Q_OS_LINUX)
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
#else
    return true;
#endif
}

} // namespace

int main(int argc, char** argv)
{
    if (!displayReachable()) {
        std::fprintf(stderr,
                     "px316t: no display found (DISPLAY and WAYLAND_DISPLAY are not set).\n"
                     "Start it on a desktop, or under a virtual display:\n"
                     "    xvfb-run -a %s\n",
                     argc > 0 ? argv[0] : "px316t");
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("PX316T"));
    px316t::Form1 window;
    window.Form_Load();
    window.show();
    return app.exec();
}
