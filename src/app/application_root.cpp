#include "app/application_root.h"

#include "registry/cls_registry_access.h"
#include "ui/qt_dialogs.h"

namespace px316t {

void ApplicationRoot::StatusRelay::setMessageLine(const QString& text, Rgb color)
{
    if (window)
        window->setMessageLine(text, color);
}

void ApplicationRoot::StatusRelay::setPagerMenuEnabled(bool enabled)
{
    if (window)
        window->setPagerMenuEnabled(enabled);
}

ApplicationRoot::ApplicationRoot(ApplicationOptions options)
{
    if (!options.messages)
        qtMessages_ = std::make_unique<QtMessageBoxes>(nullptr);
    if (!options.fileDialogs)
        qtFileDialogs_ = std::make_unique<QtFileDialogs>(nullptr);
    messages_ = options.messages ? options.messages : qtMessages_.get();
    held_ = std::make_unique<HeldMessages>(*messages_);
    fileDialogs_ = options.fileDialogs ? options.fileDialogs : qtFileDialogs_.get();
    registry_ = options.makeRegistry ? options.makeRegistry() : std::make_unique<clsRegistryAccess>();

    BoardConnectionParts parts{std::move(options.makeSerialPorts), options.linkClock, registry_.get(),
                               options.parallelPort, std::move(options.findLptBoard), nullptr};
    board_ = std::make_unique<BoardConnection>(options.linkKind, *held_, status_, std::move(parts));

    line_ = std::make_unique<ProductionLine>(options.production ? *options.production
                                                                : productionOptionsFromEnvironment());
    line_->wantBatch(options.batch);

    window_ = std::make_unique<Form1>(Form1Services{options.linkKind, document_, *held_, *fileDialogs_,
                                                    *registry_, *board_, *line_, std::move(options.endProgram),
                                                    options.appFolder, options.documentsFolder,
                                                    std::move(options.folderWritable), held_.get()});
    status_.window = window_.get();
    // The Qt boxes and dialogs are modal to the main window.
    if (qtMessages_)
        qtMessages_->setParent(window_.get());
    if (qtFileDialogs_)
        qtFileDialogs_->setParent(window_.get());
}

ApplicationRoot::~ApplicationRoot()
{
    status_.window = nullptr;
    window_.reset();
}

} // namespace px316t
