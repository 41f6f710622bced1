#include "ui/form1.h"

#include "board/board_connection.h"
#include "editor/messages.h"
#include "link/board_detection.h"
#include "production/entry_origin.h"
#include "production/link_transfer.h"
#include "production/production_line.h"
#include "registry/cls_registry_access.h"
#include "table/field_tag.h"
#include "table/table_file.h"
#include "ui/binding/field_binding.h"
#include "ui/capcode_list.h"
#include "ui/control_list.h"
#include "ui/ct_eb_slider.h"
#include "ui/dialogs.h"
#include "ui/frequency_panel.h"
#include "ui/option_controls.h"
#include "table/path_text.h"
#include "ui/file_places.h"
#include "ui/form_resize.h"
#include "ui/frm_about.h"
#include "ui/hand_cursor.h"
#include "ui/held_messages.h"
#include "ui/password_field.h"
#include "ui/prompts_panel.h"
#include "ui/production_record_dialog.h"
#include "ui/tab_background.h"
#include "ui/twips.h"
#include "ui/wheel_guard.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenuBar>
#include <QFileInfo>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <array>
#include <cmath>
#include <filesystem>

namespace px316t {
namespace {

constexpr int kClientWidth = 9510;     // design client size, twips
constexpr int kClientHeight = 6675;
const QRect kPageRect(276, 456, 8940, 5796);
const QString kTableFilter = QStringLiteral("Table files (*.tbl)|*.tbl");
// A table file may have any name (Save adds no extension), so Open also lists every file.
const QString kOpenFilter = kTableFilter + QStringLiteral("|All files (*)|*");

void setColours(QWidget* w, const QColor& text, const QColor& background)
{
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::Window, background);
    w->setPalette(p);
    w->setAutoFillBackground(true);
}

std::filesystem::path toPath(const QString& path) { return pathFromUtf8(path.toStdString()); }

} // namespace

Form1::Form1(Form1Services services)
    : linkKind_(services.linkKind), document_(services.document), messages_(services.messages),
      fileDialogs_(services.fileDialogs), registry_(services.registry), board_(services.board),
      line_(services.line), endProgram_(std::move(services.endProgram)), appFolder_(services.appFolder),
      documentsFolder_(services.documentsFolder), folderWritable_(std::move(services.folderWritable)),
      startupMessages_(services.startupMessages)
{
    setObjectName(QStringLiteral("Form1"));
    context_ = std::make_unique<EditorContext>(EditorContext{document_, messages_, arrays_, nullptr,
                                                             [this] { init_ctl(); }, [this] { return inModifyMode(); }});

    QFont designFont(QStringLiteral("Courier New"), 9);
    setFont(designFont);
    setWindowIcon(programIcon());
    buildMenus();
    buildWindow();
    auto* wheelGuard = new WheelGuard(this);
    wheelGuard->scrollAreaWith(capcodes_->Picture1, capcodes_->VScroll1);
    // The window sees every key before its controls do.
    qApp->installEventFilter(this);
    // What changes as a whole is shown again whole.
    listening_ = document_.listen([this](DocumentChange change) { follow(change); });
}

Form1::~Form1()
{
    qApp->removeEventFilter(this);
}

// ---- construction ----------------------------------------------------------

void Form1::buildMenus()
{
    ControlFactory factory(controls_, font());
    // Each menu and item has a mnemonic (the letter after "&", underlined), so
    // that Alt and that letter open the menu and a letter chooses an item; the
    // captions read as they always have.
    auto item = [&](QMenu* menu, const QString& name, const QString& caption, const QKeySequence& shortcut) {
        QAction* action = menu->addAction(caption);
        if (!shortcut.isEmpty())
            action->setShortcut(shortcut);
        factory.registerWithoutGeometry(action, name);
        return action;
    };
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    factory.registerWithoutGeometry(mnuFile->menuAction(), QStringLiteral("mnuFile"));
    mnuLBFF = item(mnuFile, QStringLiteral("mnuLBFF"), QStringLiteral("&Open"), QKeySequence(QStringLiteral("Ctrl+O")));
    mnuSBTF = item(mnuFile, QStringLiteral("mnuSBTF"), QStringLiteral("&Save"), QKeySequence(QStringLiteral("Ctrl+S")));
    // The caption "-" of the classic menu makes this item a separator; a Qt
    // separator carries no text (some styles would print it as a heading).
    mnudash = mnuFile->addSeparator();
    factory.registerWithoutGeometry(mnudash, QStringLiteral("mnudash"));
    mnuExit = item(mnuFile, QStringLiteral("mnuExit"), QStringLiteral("E&xit"), QKeySequence(QStringLiteral("Ctrl+E")));
    // Not one of the window's own controls: kept out of the control list.
    mnuProductionRecord = new QAction(QStringLiteral("&Production Record..."), this);
    mnuFile->insertAction(mnudash, mnuProductionRecord);

    mnuPager = menuBar()->addMenu(QStringLiteral("&Pager"));
    factory.registerWithoutGeometry(mnuPager->menuAction(), QStringLiteral("mnuPager"));
    mnuEntire = item(mnuPager, QStringLiteral("mnuEntire"), QStringLiteral("&Read"), QKeySequence(Qt::Key_F3));
    mnuEB = item(mnuPager, QStringLiteral("mnuEB"), QStringLiteral("&Write"), QKeySequence(Qt::Key_F4));
    mnuEB1 = item(mnuPager, QStringLiteral("mnuEB1"), QStringLiteral("&Verfy"), QKeySequence(Qt::Key_F9));

    mnuHelp = menuBar()->addMenu(QStringLiteral("&Help"));
    factory.registerWithoutGeometry(mnuHelp->menuAction(), QStringLiteral("mnuHelp"));
    mnuAbout = item(mnuHelp, QStringLiteral("mnuAbout"), QStringLiteral("&About"), QKeySequence());

    connect(mnuLBFF, &QAction::triggered, this, [this] { mnuLBFF_Click(); });
    connect(mnuSBTF, &QAction::triggered, this, [this] { mnuSBTF_Click(); });
    connect(mnuExit, &QAction::triggered, this, [this] { mnuExit_Click(); });
    connect(mnuEntire, &QAction::triggered, this, [this] { mnuEntire_Click(); });
    connect(mnuEB, &QAction::triggered, this, [this] { mnuEB_Click(); });
    connect(mnuEB1, &QAction::triggered, this, [this] { mnuEB1_Click(); });
    connect(mnuAbout, &QAction::triggered, this, [this] { mnuAbout_Click(); });
    connect(mnuProductionRecord, &QAction::triggered, this, [this] { mnuProductionRecord_Click(); });
}

void Form1::buildWindow()
{
    ControlFactory factory(controls_, font());
    client = new QWidget(this);
    client->setObjectName(QStringLiteral("client"));
    const QSize designClient = twipsToPixels(QRect(0, 0, kClientWidth, kClientHeight)).size();
    client->resize(designClient);
    setCentralWidget(client);

    picTabBack = new TabBackground(client);
    factory.placeWithoutFont(picTabBack, client, QStringLiteral("picTabBack"), QRect(-12, 0, 9600, 6735));
    picTabBack->setProperty(DesignFontProperty, font().pointSizeF());
    context_->picTabBack = picTabBack;

    // Tabs: a flat label behind each raised button; the front page's button is hidden.
    QFont tabFont(QStringLiteral("Arial"), 9);
    tabFont.setBold(true);
    const QRect tabRects[] = {{288, 192, 1908, 252}, {2208, 192, 1908, 252}, {4128, 192, 1908, 252}};
    const QString captions[] = {QStringLiteral("Code and Features"), QStringLiteral("Alerts and Status"),
                                QStringLiteral("Prompts Edit")};
    QLabel** labels[] = {&Label14, &Label15, &lblPEdit};
    const QString labelNames[] = {QStringLiteral("Label14"), QStringLiteral("Label15"), QStringLiteral("lblPEdit")};
    QPushButton** buttons[] = {&EMoptCode, &EMoptStatus, &EMoptPrompts};
    const QString buttonNames[] = {QStringLiteral("EMoptCode"), QStringLiteral("EMoptStatus"),
                                   QStringLiteral("EMoptPrompts")};
    for (int i = 0; i < 3; ++i) {
        *labels[i] = factory.label(picTabBack, labelNames[i], captions[i], tabRects[i], tabFont);
        (*labels[i])->setAlignment(Qt::AlignCenter);
        setColours(*labels[i], palette().color(QPalette::HighlightedText), palette().color(QPalette::Dark));
    }
    for (int i = 0; i < 3; ++i) {
        *buttons[i] = factory.button(picTabBack, buttonNames[i], captions[i], tabRects[i]);
        (*buttons[i])->setFont(tabFont);
        (*buttons[i])->setCursor(handCursor());
        (*buttons[i])->setFocusPolicy(Qt::NoFocus);
    }
    connect(EMoptCode, &QPushButton::clicked, this, [this] { EMoptCode_Click(); });
    connect(EMoptStatus, &QPushButton::clicked, this, [this] { EMoptStatus_Click(); });
    connect(EMoptPrompts, &QPushButton::clicked, this, [this] { EMoptPrompts_Click(); });

    ModifyOpt = factory.optionButton(picTabBack, QStringLiteral("ModifyOpt"), QStringLiteral("Modify Mode"),
                                     QRect(6192, 240, 1488, 204));
    WriteOpt = factory.optionButton(picTabBack, QStringLiteral("WriteOpt"), QStringLiteral("Write Mode"),
                                    QRect(7776, 240, 1428, 204));
    // White text on teal; the mark is drawn in white too (a ring, filled when
    // chosen), since a style's own mark is dark and vanishes on teal.
    for (QRadioButton* mode : {ModifyOpt, WriteOpt})
        mode->setStyleSheet(QStringLiteral(
            "QRadioButton { color: white; background-color: rgb(0, 128, 128); }"
            "QRadioButton::indicator { width: 8px; height: 8px; border: 2px solid white; border-radius: 6px;"
            " background-color: rgb(0, 128, 128); }"
            "QRadioButton::indicator:checked { background-color: white; }"
            // The focus is shown as a yellow ring and an underlined caption:
            // a Tab stop must say that it holds the focus.
            "QRadioButton:focus { text-decoration: underline; }"
            "QRadioButton::indicator:focus { border-color: yellow; }"));
    ModifyOpt->setChecked(true);
    connect(ModifyOpt, &QRadioButton::toggled, this, [this](bool on) { if (on) ModifyOpt_Click(); });
    connect(WriteOpt, &QRadioButton::toggled, this, [this](bool on) { if (on) WriteOpt_Click(); });

    const QColor pageGrey(224, 224, 224);
    picSet = factory.pictureBox(picTabBack, QStringLiteral("picSet"), kPageRect);
    picSet2 = factory.pictureBox(picTabBack, QStringLiteral("picSet2"), kPageRect);
    picSet5 = factory.pictureBox(picTabBack, QStringLiteral("picSet5"), kPageRect);
    for (QWidget* page : {picSet, picSet2, picSet5}) {
        QPalette p = page->palette();
        p.setColor(QPalette::Window, pageGrey);
        page->setPalette(p);
        page->setAutoFillBackground(true);
    }

    // Page "Code and Features", top to bottom.
    fraFrequency = factory.frame(picSet, QStringLiteral("fraFrequency"), QStringLiteral("Frequency"),
                                 QRect(120, 60, 8700, 660));
    fraCapcode = factory.frame(picSet, QStringLiteral("fraCapcode"), QStringLiteral("Capcode Address"),
                               QRect(120, 760, 8700, 3480));
    capcodes_ = new CapcodeList(*context_, factory, fraCapcode);
    fraAuto = factory.frame(picSet, QStringLiteral("fraAuto"), QStringLiteral("Auto Increase 1 After Write"),
                            QRect(120, 4280, 8700, 600));
    optAuto1 = factory.checkBox(fraAuto, QStringLiteral("optAuto1"), QStringLiteral("1st Capcode Auto Increase"),
                                QRect(240, 270, 3600, 255));
    optAuto1->setToolTip(QStringLiteral("1st capcode always increments by one after writed."));
    connect(optAuto1, &QCheckBox::stateChanged, this,
            [this] { commandState_.AutoIncrease = optAuto1->isChecked(); });
    frequency_ = new FrequencyPanel(*context_, factory, fraFrequency, picSet, QRect(120, 4940, 8700, 800));
    capcodes_->lblFrame = frequency_->lblFrame;

    // Page "Alerts and Status".
    factory.setDefaultFont(QFont(QStringLiteral("Tahoma"), 8));
    options_ = new OptionControls(*context_, factory, picSet2);
    password_ = new PasswordField(*context_, factory, options_->fraManualWrite);
    // Page "Prompts Edit" and the logo in the frame "Prompts".
    prompts_ = new PromptsPanel(*context_, factory, picSet5, *options_);
    factory.setDefaultFont(font());

    QFont messageFont(QStringLiteral("Tahoma"));
    messageFont.setPointSizeF(8.25);
    lblMsg = factory.label(picTabBack, QStringLiteral("lblMsg"), QStringLiteral("Message:"),
                           QRect(276, 6300, 8940, 255), messageFont);

    // The check boxes store through their bindings, and the document says what
    // follows from that (the frames of an enable box).
    for (int i = 0; i < static_cast<int>(arrays_.cboCtl.size()); ++i)
        if (QComboBox* combo = arrays_.cboCtl[i])
            connect(combo, &QComboBox::currentIndexChanged, this, [this, i] { cboCtl_Click(i); });

    showPage(picSet, EMoptCode);
    // Opens at the design client size; from then on the window may take any size.
    resize(designClient.width(), designClient.height() + menuBar()->sizeHint().height());
    // Smaller than the design size the controls would run into each other.
    setMinimumSize(size());
}

// ---- start-up --------------------------------------------------------------

void Form1::Form_Load()
{
    if (loaded_)
        return;
    loaded_ = true;
    // What the start-up has to say waits for the window, and is said once.
    if (startupMessages_)
        startupMessages_->hold();
    if (appFolder_.isEmpty())
        appFolder_ = QCoreApplication::applicationDirPath();
    filePlaces_ = std::make_unique<FilePlaces>(appFolder_, documentsFolder_, folderWritable_);
    designScaleWidth_ = static_cast<int>(std::lround(pixelsToTwips(client->width())));
    designScaleHeight_ = static_cast<int>(std::lround(pixelsToTwips(client->height())));
    controls_.appendGeometrySuffixes();
    // Every later change of the window's size scales the controls from these tags.
    new FormResize(client, controls_, QSize(designScaleWidth_, designScaleHeight_),
                   [this] { capcodes_->ChkCapLen(); prompts_->fitLogoBox(); });
    document_.flags() = {};
    // The polling timer is a control of the window without position.
    QTimer& timer = board_.detection().Timer1();
    timer.setObjectName(QStringLiteral("Timer1"));
    setControlTag(&timer, QStringLiteral(",#"));
    controls_.add(&timer);
    InitTables();
    // A port the user may not open is said in words a technician can act on.
    if (!board_.detection().runStartupProbe() && !board_.detection().permissionProblems().isEmpty())
        messages_.message(board_.detection().permissionProblems(), MessageBoxes::Icon::Warning);
    capcodes_->read_CapLen();
    init_ctl();

    // Centred on the screen at the design client size.
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void Form1::InitTables()
{
    // The document holds the start-up image since it was made.
    if (linkKind_ == LinkKind::USB) {
        programTitle_ = QStringLiteral("Quorvalent USB PX316T V5.02");
        lblMsg->setVisible(true);
    } else {
        programTitle_ = QStringLiteral("Quorvalent PX316T V5.02");
        lblMsg->setVisible(false);
    }
    setWindowTitle(programTitle_);
    // Selecting the band runs its change handler; the document holds that
    // band's preset already.
    frequency_->selectBand(StartupBand);
}

// ---- refresh and modes -----------------------------------------------------

int Form1::init_ctl()
{
    // The rules the layout implies are stored first; showing the document then
    // writes nothing: the bindings store nothing while they show.
    document_.applyLayoutRules();
    capcodes_->ChkCapLen();
    capcodes_->read_dftaddr();
    for (QObject* control : controls_.all()) {
        // The controls with a field tag; the others are shown by their own
        // steps. Row 1's hidden type selector is bound to nothing.
        if (!parseFieldTag(controlTag(control).toStdString()))
            continue;
        if (FieldBinding* binding = FieldBinding::of(control))
            binding->show();
    }
    options_->showSequentialLockout();
    options_->showLogoFont();
    options_->showLanguage();
    options_->showContrast();
    options_->showPersonalAlert();
    FieldBinding::of(capcodes_->chkMailAlert)->show();
    capcodes_->showMailAlertControls(capcodes_->chkMailAlert->isChecked());
    frequency_->read_freq();
    prompts_->read_prompt();
    capcodes_->set_frame();
    capcodes_->read_MailAlert();
    password_->read_pass();
    return 0;
}

bool Form1::inModifyMode() const { return ModifyOpt && ModifyOpt->isChecked(); }

void Form1::setModeLocked(bool locked)
{
    static const QStringList prefixes = {QStringLiteral("opt"), QStringLiteral("Tex"), QStringLiteral("txt"),
                                         QStringLiteral("cbo"), QStringLiteral("chk")};
    for (QObject* control : controls_.all()) {
        auto* widget = qobject_cast<QWidget*>(control);
        if (!widget)
            continue;
        const QString name = widget->objectName();
        for (const QString& prefix : prefixes) {
            if (name.startsWith(prefix)) {
                widget->setEnabled(!locked);
                break;
            }
        }
    }
}

void Form1::ModifyOpt_Click()
{
    if (ModifyOpt->isChecked())
        setModeLocked(false);
    options_->Slider1->show();
    capcodes_->set_frame();
    // The capcode layout decides whether manual write can be changed.
    arrays_.chkCtl[9]->setEnabled(document_.manualWriteSelectable());
}

void Form1::WriteOpt_Click()
{
    if (WriteOpt->isChecked())
        setModeLocked(true);
    options_->Slider1->hide();
}

// ---- shared handlers of the control arrays ---------------------------------

void Form1::cboCtl_Click(int index)
{
    if (index >= 7 && index <= 22)
        capcodes_->typeRule(index - 7);
    else if (index == 0)
        options_->applyDisplayModeRule();
}

// ---- key preview and ending ------------------------------------------------

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* widget = qobject_cast<QWidget*>(watched);
        if (widget && widget->window() == this) {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Space && key->modifiers() == Qt::NoModifier && WriteOpt->isChecked()) {
                mnuEB_Click();
                return true;   // no control receives the space
            }
            if (const int step = pageStep(*key)) {
                showNextPage(step);
                return true;
            }
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void Form1::closeEvent(QCloseEvent* event)
{
    event->accept();
    endProgram();
}

void Form1::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (startupMessages_)
        QTimer::singleShot(0, this, [this] {
            if (startupMessages_)
                startupMessages_->release();
            startupMessages_ = nullptr;
        });
}

void Form1::mnuExit_Click() { endProgram(); }

void Form1::endProgram()
{
    // Ends at once: no question, nothing saved.
    if (endProgram_)
        endProgram_();
    else
        QCoreApplication::exit(0);
}

void Form1::follow(DocumentChange change)
{
    if (change == DocumentChange::Image)
        showArrivedImage();
    else if (change == DocumentChange::PairLengths) {
        capcodes_->showPairLengths();
        init_ctl();
    }
}

void Form1::showArrivedImage()
{
    // The band and the pair lengths are the document's; selecting them loads
    // no preset and stores no capcode.
    frequency_->selectBandFromImage();
    capcodes_->showPairLengths();
    init_ctl();
}

LinkState& Form1::linkState() { return board_.state(); }

BoardDetection* Form1::detection() { return &board_.detection(); }

void Form1::mnuAbout_Click()
{
    frmAbout about(linkKind_, this);
    about.exec();
}

// ---- pages -----------------------------------------------------------------

void Form1::showPage(QWidget* page, QPushButton* tab)
{
    QWidget* front = frontPage_;
    picTabBack->raise();
    page->show();
    page->raise();
    // Giving the page the focus leaves the field being edited, which commits it.
    page->setFocus(Qt::OtherFocusReason);
    if (front && front != page && front->isAncestorOf(focusWidget())) {
        // The field refused its entry and took the focus back: its page stays in
        // front, so that the technician sees the field the message is about.
        page->hide();
        return;
    }
    for (QPushButton* button : {EMoptCode, EMoptStatus, EMoptPrompts})
        button->setVisible(button != tab);
    // The pages behind are hidden, not only covered, so that neither Tab nor any
    // other way of moving the focus reaches a control the technician cannot see.
    for (QWidget* other : {picSet, picSet2, picSet5})
        if (other != page)
            other->hide();
    frontPage_ = page;
}

int Form1::pageStep(const QKeyEvent& key)
{
    // Ctrl+Tab and Ctrl+PgDn go to the next page, Ctrl+Shift+Tab and Ctrl+PgUp to
    // the previous one, as in tabbed windows.
    const Qt::KeyboardModifiers modifiers = key.modifiers() & ~Qt::KeypadModifier;
    if (!(modifiers & Qt::ControlModifier) || (modifiers & (Qt::AltModifier | Qt::MetaModifier)))
        return 0;
    const bool shift = modifiers & Qt::ShiftModifier;
    switch (key.key()) {
    case Qt::Key_Tab: return shift ? -1 : 1;
    case Qt::Key_Backtab: return -1;
    case Qt::Key_PageDown: return shift ? 0 : 1;
    case Qt::Key_PageUp: return shift ? 0 : -1;
    default: return 0;
    }
}

void Form1::showNextPage(int step)
{
    const std::array<QWidget*, 3> pages = {picSet, picSet2, picSet5};
    const std::array<QPushButton*, 3> tabs = {EMoptCode, EMoptStatus, EMoptPrompts};
    const auto at = std::find(pages.begin(), pages.end(), frontPage_);
    const int current = at == pages.end() ? 0 : static_cast<int>(at - pages.begin());
    const int next = (current + step + 3) % 3;
    showPage(pages[next], tabs[next]);
}

void Form1::EMoptCode_Click() { showPage(picSet, EMoptCode); }
void Form1::EMoptStatus_Click() { showPage(picSet2, EMoptStatus); }
void Form1::EMoptPrompts_Click() { showPage(picSet5, EMoptPrompts); }

// ---- message line and Pager menu --------------------------------------------

void Form1::setMessageLine(const QString& text, Rgb color)
{
    QPalette p = lblMsg->palette();
    p.setColor(QPalette::WindowText, QColor(color.r, color.g, color.b));
    lblMsg->setPalette(p);
    lblMsg->setText(text);
}

void Form1::setPagerMenuEnabled(bool enabled) { mnuPager->menuAction()->setEnabled(enabled); }

// ---- table files -----------------------------------------------------------

void Form1::mnuLBFF_Click()
{
    // A field being edited is committed first, so that its entry cannot land in
    // the image after the load.
    if (!commitFieldForFileCommand())
        return;
    const auto chosen = fileDialogs_.openFile(fileDialogFolder(), kOpenFilter);
    if (!chosen)
        return;
    if (filePlaces_)
        filePlaces_->remember(&registry_, *chosen);
    openTableFile(*chosen);
}

QString Form1::fileDialogFolder() const
{
    return filePlaces_ ? filePlaces_->dialogFolder(&registry_) : appFolder_;
}

void Form1::openTableFile(const QString& path)
{
    std::error_code reason;
    const TableFileError error = document_.openFile(toPath(path), reason);
    if (error != TableFileError::None) {
        messages_.message(QString::fromStdString(describeTableFileError(error, reason ? reason.message() : "")),
                          error == TableFileError::NotFound ? MessageBoxes::Icon::None : MessageBoxes::Icon::Warning);
        return;
    }
    recordTableFile(path);
    nameFileInTitle(path);
}

void Form1::nameFileInTitle(const QString& path)
{
    setWindowTitle(programTitle_ + QStringLiteral(" - ") + QFileInfo(path).fileName());
}

void Form1::recordTableFile(const QString& path)
{
    // The file just opened or saved, by its name and the SHA-256 of its bytes;
    // a file that cannot be read back names none rather than a wrong one.
    const auto source = withTableFile(EntrySource{}, toPath(path));
    if (source.ok())
        line_.setTableSource(source.value().tableFile, source.value().tableSha256);
    else
        line_.setTableSource({}, {});
}

bool Form1::commitFieldForFileCommand()
{
    // Only a refusal by this very commit drops the command: its message is the
    // operator's report. A refusal reported earlier is left for the Pager commands.
    EntryFlags& flags = document_.flags();
    const bool earlierRefusal = flags.EntryRejected;
    flags.EntryRejected = false;
    picTabBack->setFocus(Qt::OtherFocusReason);
    if (flags.EntryRejected) {
        flags.EntryRejected = false;
        return false;
    }
    flags.EntryRejected = earlierRefusal;
    return true;
}

void Form1::mnuSBTF_Click()
{
    // Save what the screen shows: the field being edited is committed first, and an
    // entry refused by that commit saves nothing.
    if (!commitFieldForFileCommand())
        return;
    const auto chosen = fileDialogs_.saveFile(fileDialogFolder(), kTableFilter);
    if (!chosen)
        return;
    if (filePlaces_)
        filePlaces_->remember(&registry_, *chosen);
    std::error_code ec;
    if (std::filesystem::exists(toPath(*chosen), ec) && !messages_.askYesNo(QString::fromLatin1(messages::OverwriteFile)))
        return;
    std::error_code reason;
    const TableFileError error = document_.saveFile(toPath(*chosen), reason);
    if (error != TableFileError::None) {
        messages_.message(QString::fromStdString(describeTableFileError(error, reason ? reason.message() : "")),
                           MessageBoxes::Icon::Warning);
        return;
    }
    recordTableFile(*chosen);
    nameFileInTitle(*chosen);
}

// ---- Pager commands ----------------------------------------------------------

void Form1::runPagerCommand(int command)
{
    // Where the focus was goes back there after the command and its messages,
    // so that Tab and typing go on from the same control.
    const QPointer<QWidget> focused = focusWidget();
    // Commit the field being edited; a refused entry drops the command once.
    picTabBack->setFocus(Qt::OtherFocusReason);
    commandState_.PagerCommand = command;
    QCoreApplication::processEvents();
    if (document_.flags().EntryRejected) {
        document_.flags().EntryRejected = false;
        return;
    }
    ProgrammingContext context{document_, commandState_, messages_, board_.pagerLink(), line_,
                               [this] { return inModifyMode(); }, {}, {}, {}, {}, &registry_};
    context.currentPort = [this] { return portName(linkKind_, board_.state().BoardPort); };
    context.registry = &registry_;
    context.afterRead = [this](const auto& image) {
        line_.setTableSource({}, {});   // the image comes from the pager now, not from a file
        if (ProductionServices* services = production())
            if (auto backup = services->backupRead(image); !backup.ok())
                messages_.message(QString::fromStdString(backup.message()), MessageBoxes::Icon::Warning);
    };
    auto reportRecord = [this](const Status& recorded) {
        if (!recorded.ok())
            messages_.message(QString::fromStdString(recorded.message()), MessageBoxes::Icon::Warning);
    };
    context.afterWrite = [this, reportRecord](const auto& image, const PagerTransfer& transfer,
                                              const std::string& port) {
        if (ProductionServices* services = production())
            reportRecord(recordPagerTransfer(*services, image, transfer, port));
    };
    context.afterVerify = [this, reportRecord](const auto& image, RecordResult result, const std::string& port) {
        if (ProductionServices* services = production())
            reportRecord(services->recordTransfer(image, RecordOperation::Verify, result, port));
    };
    {
        Form2 window(std::move(context), this);
        if (onProgrammingWindow)
            onProgrammingWindow(window);
        window.exec();
    }
    if (focused && focused != picTabBack && focused->window() == this && focused->isVisible() && focused->isEnabled())
        focused->setFocus(Qt::OtherFocusReason);
}

ProductionServices* Form1::production()
{
    std::vector<std::string> notices;
    auto opened = line_.services(notices);
    for (const std::string& notice : notices)
        messages_.message(QString::fromStdString(notice), MessageBoxes::Icon::Warning);
    if (!opened.ok()) {
        // Said once; the window goes on without backups and record.
        if (!productionFailureShown_)
            messages_.message(QString::fromStdString(opened.message()), MessageBoxes::Icon::Warning);
        productionFailureShown_ = true;
        return nullptr;
    }
    return opened.value();
}

void Form1::mnuProductionRecord_Click()
{
    ProductionServices* services = production();
    if (!services)
        return;
    auto entries = services->localRecord().list(std::nullopt);
    if (!entries.ok()) {
        messages_.message(QString::fromStdString(entries.message()), MessageBoxes::Icon::Warning);
        return;
    }
    ProductionRecordDialog dialog(entries.value(), this);
    if (onProductionRecordWindow)
        onProductionRecordWindow(dialog);
    else
        dialog.exec();
}

void Form1::mnuEntire_Click() { runPagerCommand(PagerRead); }
void Form1::mnuEB_Click() { runPagerCommand(PagerWrite); }
void Form1::mnuEB1_Click() { runPagerCommand(PagerVerify); }

} // namespace px316t
