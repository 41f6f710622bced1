#include "app/screenshot_tour.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstdio>
#include <cstdlib>

namespace px316t {

namespace {

// Finds the window's parts by their object names, so the tour follows the
// window as it is built, not a copy of its layout.
class ScreenshotTour : public QObject {
public:
    ScreenshotTour(QApplication& app, QMainWindow& window, const QString& folder)
        : QObject(&window), app_(app), window_(window), folder_(folder)
    {
        QDir().mkpath(folder_);
        connect(&timer_, &QTimer::timeout, this, [this] { tick(); });
        timer_.start(40);
        clock_.start();
    }

private:
    enum class Step { WaitForBoard, Writing, AfterWrite, Verifying, Reading, About, Done };

    template <typename T>
    T* named(const char* name) const
    {
        return window_.findChild<T*>(QString::fromLatin1(name));
    }

    // Each line goes to stderr and to tour.log in the folder (a Windows window
    // program may have no stderr to read).
    void note(const QString& line)
    {
        std::fprintf(stderr, "%s\n", qPrintable(line));
        QFile log(QDir(folder_).filePath(QStringLiteral("tour.log")));
        if (log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
            log.write(line.toUtf8() + '\n');
    }

    bool save(QWidget& widget, const char* file)
    {
        const QString path = QDir(folder_).filePath(QString::fromLatin1(file));
        const bool saved = widget.grab().save(path, "PNG");
        note(QStringLiteral("screenshot %1: %2").arg(path, saved ? QStringLiteral("saved") : QStringLiteral("FAILED")));
        failed_ |= !saved;
        return saved;
    }

    // A box whose text is set but not drawn (a font the system lacks, with no
    // stand-in) looks empty: every shown box with text must put some of its
    // ink inside its frame.
    void checkTextIsDrawn()
    {
        int boxes = 0;
        for (QLineEdit* box : window_.findChildren<QLineEdit*>()) {
            if (!box->isVisible() || box->text().trimmed().isEmpty())
                continue;
            ++boxes;
            const QImage shot = box->grab().toImage();
            const QColor ink = box->palette().color(QPalette::Text);
            const int margin = 3;   // inside the frame
            int inked = 0;
            for (int y = margin; y < shot.height() - margin; ++y)
                for (int x = margin; x < shot.width() - margin; ++x) {
                    const QColor pixel = shot.pixelColor(x, y);
                    inked += std::abs(pixel.red() - ink.red()) + std::abs(pixel.green() - ink.green())
                               + std::abs(pixel.blue() - ink.blue()) < 120;
                }
            if (inked == 0) {
                note(QStringLiteral("FAILED: the box %1 holds \"%2\" but shows no text").arg(box->objectName(), box->text()));
                failed_ = true;
            }
        }
        note(QStringLiteral("text drawn in %1 boxes checked").arg(boxes));
    }

    void showPage(const char* tab)
    {
        if (auto* button = named<QPushButton>(tab))
            button->click();
        QApplication::processEvents();
    }

    void finish(int status)
    {
        step_ = Step::Done;
        timer_.stop();
        app_.exit(status);
    }

    // Triggers a Pager menu command; its programming window runs in its own
    // event loop, in which this timer goes on ticking.
    void startPagerCommand(Step next, const char* action)
    {
        step_ = next;
        commandSeen_ = false;
        if (auto* command = named<QAction>(action))
            QTimer::singleShot(0, command, &QAction::trigger);
    }

    void tick()
    {
        if (clock_.elapsed() > 120000) {
            note(QStringLiteral("screenshot tour: no progress within two minutes"));
            finish(1);
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        // The messages that close a transfer need only their OK.
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            note(QStringLiteral("message: ") + box->text());
            box->accept();
            return;
        }
        switch (step_) {
        case Step::WaitForBoard: {
            const auto* line = named<QLabel>("lblMsg");
            if (!line || !line->text().contains(QStringLiteral("Connect !")) || line->text().contains(QStringLiteral("Disconnect")))
                return;
            showPage("EMoptCode");
            checkTextIsDrawn();
            save(window_, "page-code-and-features.png");
            showPage("EMoptStatus");
            save(window_, "page-alerts-and-status.png");
            showPage("EMoptPrompts");
            save(window_, "page-prompts.png");
            showPage("EMoptCode");
            if (auto* writeMode = named<QRadioButton>("WriteOpt"))
                writeMode->click();
            step_ = Step::Writing;
            // The write runs in the programming window's own event loop; this
            // timer goes on ticking in it.
            if (auto* write = named<QAction>("mnuEB"))
                QTimer::singleShot(0, write, &QAction::trigger);
            return;
        }
        case Step::Writing: {
            auto* dialog = qobject_cast<QDialog*>(modal);
            auto* bar = dialog ? dialog->findChild<QProgressBar*>() : nullptr;
            if (!bar || bar->maximum() <= 0 || bar->value() < bar->maximum() / 2)
                return;
            save(*dialog, "programming-write.png");
            step_ = Step::AfterWrite;
            return;
        }
        case Step::AfterWrite:
            if (modal)
                return;
            // Then Pager > Verfy and Pager > Read, so that one tour drives all
            // three commands through the board (their messages are printed).
            startPagerCommand(Step::Verifying, "mnuEB1");
            return;
        case Step::Verifying:
        case Step::Reading:
            if (modal) {
                commandSeen_ |= qobject_cast<QDialog*>(modal) != nullptr;
                return;
            }
            if (!commandSeen_)
                return;
            if (step_ == Step::Verifying) {
                startPagerCommand(Step::Reading, "mnuEntire");
                return;
            }
            step_ = Step::About;
            if (auto* about = named<QAction>("mnuAbout"))
                QTimer::singleShot(0, about, &QAction::trigger);
            return;
        case Step::About: {
            auto* dialog = qobject_cast<QDialog*>(modal);
            if (!dialog)
                return;
            save(*dialog, "about.png");
            dialog->accept();
            finish(failed_ ? 1 : 0);
            return;
        }
        case Step::Done:
            return;
        }
    }

    QApplication& app_;
    QMainWindow& window_;
    QString folder_;
    QTimer timer_;
    QElapsedTimer clock_;
    Step step_ = Step::WaitForBoard;
    bool failed_ = false;
    bool commandSeen_ = false;   // the programming window of the current command has opened
};

} // namespace

void startScreenshotTour(QApplication& app, QMainWindow& window, const QString& folder)
{
    new ScreenshotTour(app, window, folder);
}

} // namespace px316t
