// Times one full resize of the main window (every control scaled from its tag,
// fonts included, the capcode rows laid out again, the window painted) against a
// plain QWidget::resize of a window with the same number of child widgets kept in
// a grid layout, so that there too every child is moved and painted. Prints the
// figures; the last line reads "ratio R".
#include "link/usb/serial_ports.h"
#include "registry/cls_registry_access.h"
#include "registry/registry_backend.h"
#include "link/usb/qt_serial_ports.h"
#include "ui/dialogs.h"
#include "app/application_root.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QLabel>
#include <QTemporaryDir>

#include <cmath>
#include <cstdio>

namespace {

class SilentMessages final : public px316t::MessageBoxes {
public:
    void message(const QString&, Icon) override {}
    bool askYesNo(const QString&) override { return false; }
};

// Median time in milliseconds of `rounds` resizes alternating between two sizes.
double timeResizes(QWidget& window, QSize a, QSize b, int rounds)
{
    std::vector<double> times;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer timer;
        timer.start();
        window.resize(i % 2 == 0 ? a : b);
        QCoreApplication::processEvents();
        window.repaint();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    SilentMessages messages;
    px316t::ApplicationOptions services;
    services.messages = &messages;
    services.appFolder = dir.path();
    services.makeRegistry = [&] {
        px316t::PortableRegistryOptions options;
        options.storeFile = (dir.path() + QStringLiteral("/registry.sqlite")).toStdString();
        options.ports.configHome = dir.path().toStdString();
        options.ports.includeSystemPorts = false;
        return std::make_unique<px316t::clsRegistryAccess>(px316t::makePortableRegistryBackend(options));
    };
    services.makeSerialPorts = [&]() -> std::unique_ptr<px316t::SerialPorts> {
        px316t::SerialPortMapOptions options;
        options.configHome = dir.path().toStdString();
        options.includeSystemPorts = false;
        return std::make_unique<px316t::QtSerialPorts>(options);
    };
    px316t::ApplicationRoot root(services);
    px316t::Form1& form = root.window();
    form.Form_Load();
    form.show();
    QCoreApplication::processEvents();

    int widgets = 0;
    for (QObject* control : form.controls().all())
        widgets += qobject_cast<QWidget*>(control) ? 1 : 0;

    QWidget plain;
    auto* grid = new QGridLayout(&plain);
    for (int i = 0; i < widgets; ++i)
        grid->addWidget(new QLabel(QStringLiteral("%1").arg(i)), i / 20, i % 20);
    plain.show();
    QCoreApplication::processEvents();

    const QSize small = form.size();
    const QSize large(small.width() * 2, small.height() * 2);
    constexpr int rounds = 60;
    timeResizes(form, small, large, 6);   // warm-up: fonts and glyphs of both sizes
    timeResizes(plain, small, large, 6);
    const double full = timeResizes(form, small, large, rounds);
    const double baseline = timeResizes(plain, small, large, rounds);

    std::printf("controls with a position: %d\n", widgets);
    std::printf("full window resize (median of %d): %.3f ms\n", rounds, full);
    std::printf("plain QWidget::resize, %d children in a layout (median of %d): %.3f ms\n", widgets, rounds, baseline);
    std::printf("ratio %.2f\n", full / baseline);
    return 0;
}
