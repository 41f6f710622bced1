// Table files as they come from disk: any bytes are loaded through File > Open
// of the real main window (headless), which refreshes every control from the
// image, and saved through File > Save. A loaded image depends on the file's
// bytes alone, so saving, loading the saved file and saving again must give the
// same 912 bytes, and a whole-length file loaded over a different image must
// save the same bytes again.
#include "fuzz_check.h"

#include "app/application_root.h"
#include "link/usb/qt_serial_ports.h"
#include "registry/cls_registry_access.h"
#include "registry/registry_backend.h"
#include "support/recording_dialogs.h"
#include "table/pager_table.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <memory>

using namespace px316t;

namespace {

struct Window {
    QTemporaryDir dir;
    testing::RecordingMessageBoxes messages;
    testing::ScriptedFileDialogs files;
    std::unique_ptr<ApplicationRoot> app;
    Form1* form = nullptr;

    Window()
    {
        FUZZ_CHECK(dir.isValid());
        ApplicationOptions services;
        services.linkKind = LinkKind::USB;
        services.messages = &messages;
        services.fileDialogs = &files;
        services.appFolder = dir.path();
        services.endProgram = [] {};
        const std::string folder = dir.path().toStdString();
        services.makeRegistry = [folder] {
            PortableRegistryOptions options;
            options.storeFile = folder + "/registry.sqlite";
            options.ports.configHome = folder;
            options.ports.includeSystemPorts = false;
            return std::make_unique<clsRegistryAccess>(makePortableRegistryBackend(options));
        };
        services.makeSerialPorts = [folder]() -> std::unique_ptr<SerialPorts> {
            SerialPortMapOptions options;
            options.configHome = folder;
            options.includeSystemPorts = false;
            return std::make_unique<QtSerialPorts>(options);
        };
        app = std::make_unique<ApplicationRoot>(services);
        form = &app->window();
        form->Form_Load();
        form->show();
        QApplication::processEvents();
        // The start-up warning about the missing board needs no answer here.
        messages.clear();
    }

    QString path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    void load(const QString& file)
    {
        files.paths = {file};
        form->mnuLBFF_Click();
    }
    QByteArray save(const QString& file)
    {
        QFile::remove(file);
        files.paths = {file};
        form->mnuSBTF_Click();
        QFile saved(file);
        FUZZ_CHECK(saved.open(QIODevice::ReadOnly));
        return saved.readAll();
    }
};

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes) == bytes.size());
}

Window* window = nullptr;

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static QApplication app(*argc, *argv);
    window = new Window;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // Larger files are read up to the image's size; nothing more is needed to
    // reach every path.
    if (size > 4096)
        return -1;
    Window& w = *window;
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString in = w.path("in.tbl");
    writeFile(in, input);

    w.load(in);
    const QByteArray first = w.save(w.path("first.tbl"));
    FUZZ_CHECK(first.size() == PagerTableSize);
    w.load(w.path("first.tbl"));
    const QByteArray second = w.save(w.path("second.tbl"));
    FUZZ_CHECK(second == first);

    if (size >= static_cast<std::size_t>(PagerTableSize)) {
        // Over a different image (every byte inverted) the same file must
        // come out the same.
        QByteArray other = input.left(PagerTableSize);
        for (char& c : other)
            c = static_cast<char>(~c);
        writeFile(w.path("other.tbl"), other);
        w.load(w.path("other.tbl"));
        w.load(in);
        const QByteArray again = w.save(w.path("again.tbl"));
        FUZZ_CHECK(again == first);
    }
    // A load or save that failed would have said so.
    for (const auto& m : w.messages.messages)
        std::fprintf(stderr, "message: %s\n", qPrintable(m.text));
    FUZZ_CHECK(w.messages.messages.empty());
    return 0;
}
