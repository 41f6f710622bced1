#pragma once
// A started main window on the offscreen platform with recording dialogs, a
// temporary registry that lists no serial port, and helpers that drive fields as
// the operator does: give the focus, type, leave.
#include "app/application_root.h"
#include "link/usb/qt_serial_ports.h"
#include "registry/cls_registry_access.h"
#include "registry/registry_backend.h"
#include "support/recording_dialogs.h"
#include "ui/form1.h"
#include "ui/twips.h"

#include <QApplication>
#include <QLineEdit>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os) { *os << '"' << text.toStdString() << '"'; }

namespace px316t::testing {

// The started program: its application root, used as its main window.
struct StartedWindow {
    std::unique_ptr<ApplicationRoot> app;
    Form1* operator->() const { return &app->window(); }
    Form1* get() const { return app ? &app->window() : nullptr; }
    void reset() { app.reset(); }
};

class Form1Fixture : public ::testing::Test {
protected:
    void SetUp() override { start(LinkKind::USB); }

    void start(LinkKind kind)
    {
        form.reset();
        ApplicationOptions services;
        services.linkKind = kind;
        services.messages = &messages;
        services.fileDialogs = &files;
        services.appFolder = dir.path();
        services.endProgram = [this] { ++programEnds; };
        services.makeRegistry = [this] {
            PortableRegistryOptions options;
            options.storeFile = (dir.path() + QStringLiteral("/registry.sqlite")).toStdString();
            options.ports.configHome = dir.path().toStdString();
            options.ports.includeSystemPorts = false;
            return std::make_unique<clsRegistryAccess>(makePortableRegistryBackend(options));
        };
        services.makeSerialPorts = [this]() -> std::unique_ptr<SerialPorts> {
            SerialPortMapOptions options;
            options.configHome = dir.path().toStdString();
            options.includeSystemPorts = false;
            return std::make_unique<QtSerialPorts>(options);
        };
        // Backups and the record stay in the test's folder, never shared.
        services.production = ProductionOptions{"", "test-station", (dir.path() + QStringLiteral("/data")).toStdString()};
        customize(services);
        form.app = std::make_unique<ApplicationRoot>(services);
        form->Form_Load();
        saidBeforeShow = messages.texts();
        form->show();
        // What the start-up says comes once the window is up (and before it is
        // activated here, since a message box may take the activation).
        QCoreApplication::processEvents();
        saidAtStart = messages.texts();
        form->activateWindow();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        messages.clear();
    }

    // Focus into the field, type the text key by key, and leave it for the background.
    void typeInto(QLineEdit* field, const QString& text)
    {
        field->setFocus(Qt::MouseFocusReason);
        QTest::keyClicks(field, text);
    }
    void leaveField() { form->picTabBack->setFocus(Qt::MouseFocusReason); }
    void enter(QLineEdit* field, const QString& text)
    {
        typeInto(field, text);
        leaveField();
    }

    PagerTable& table() { return form->document().table(); }
    EntryFlags& flags() { return form->document().flags(); }
    // Lets a fixture replace services before the window is built.
    virtual void customize(ApplicationOptions&) {}

    QTemporaryDir dir;
    RecordingMessageBoxes messages;
    ScriptedFileDialogs files;
    int programEnds = 0;
    QStringList saidBeforeShow;   // the messages of the start-up, before and after the window showed
    QStringList saidAtStart;
    StartedWindow form;
};

} // namespace px316t::testing
