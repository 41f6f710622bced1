#include "screenshot_tour.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QMainWindow>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <cstdio>

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
    enum class Step { WaitForBoard, Writing, AfterWrite, About, Done };

    template <typename T>
    T* named(const char* name) const
    {
        return window_.findChild<T*>(QString::fromLatin1(name));
    }

    bool save(QWidget& widget, const char* file)
    {
        const QString path = QDir(folder_).filePath(QString::fromLatin1(file));
        const bool saved = widget.grab().save(path, "PNG");
        std::fprintf(stderr, "screenshot %s: %s\n", qPrintable(path), saved ? "saved" : "FAILED");
        failed_ |= !saved;
        return saved;
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

    void tick()
    {
        if (clock_.elapsed() > 60000) {
            std::fprintf(stderr, "screenshot tour: no progress within a minute\n");
            finish(1);
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        // The messages that close a transfer need only their OK.
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            std::fprintf(stderr, "message: %s\n", qPrintable(box->text()));
            box->accept();
            return;
        }
        switch (step_) {
        case Step::WaitForBoard: {
            const auto* line = named<QLabel>("lblMsg");
            if (!line || !line->text().contains(QStringLiteral("Connect !")) || line->text().contains(QStringLiteral("Disconnect")))
                return;
            showPage("EMoptCode");
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
};

} // namespace

void startScreenshotTour(QApplication& app, QMainWindow& window, const QString& folder)
{
    new ScreenshotTour(app, window, folder);
}

} // namespace px316t
