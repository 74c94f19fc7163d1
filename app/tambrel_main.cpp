#include "app/tambrel_main.h"

#include "app/centre.h"
#include "app/credit.h"
#include "app/open_request.h"
#include "app/remembered.h"
#include "app/show_pic.h"
#include "batch/batch_conversion.h"
#include "common/declarations.h"
#include "common/errors.h"
#include "decoder/iff_loader.h"
#include "decoder/memory_budget.h"
#include "decoder/picture_info.h"
#include "dialogs/common_dialog.h"
#include "dialogs/toolkit.h"
#include "icon_painter.h"
#include "output/bmp_writer.h"
#include "output/exports.h"
#include "output/png_writer.h"
#include "splash/maker_site.h"
#include "splash/splash_screen.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QPainter>
#include <QProgressBar>
#include <QProgressDialog>
#include <QScreen>
#include <QShowEvent>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>
#include <QToolBar>

#include <atomic>
#include <cmath>
#include <exception>
#include <new>
#include <optional>
#include <thread>

namespace tambrel {

namespace {

const QColor kWhite(255, 255, 255);
const QColor kLabelColour(17, 17, 17);
const QColor kValueColour(223, 128, 48);
const QColor kNoticeColour(255, 17, 0);

const char *kOverwriteQuestion = "WARNING - File Exists, Overwrite it ?";
const char *kOverwriteTitle = "WARNING";
// The load dialog's second filter: every name Amiga pictures go by.
const char *kAmigaPicturesFilter = "all Amiga pictures|*.iff;*.ilbm;*.lbm;*.bbm|";

// The work surface's picture area: what was decoded (a later header may
// claim more), or the header's size for a picture without a BODY. Refused
// (error 7) before anything is allocated when the surface would pass the
// decoder's pixel cap or, with the decoded buffers, the memory budget.
QSize PictureArea(const IFF_Picture &pic) {
    std::int64_t w = std::max(pic.Width, 0), h = std::max(pic.Height, 0);
    if (pic.HasBody()) {
        w = std::min<std::int64_t>(w, static_cast<std::int64_t>(pic.PixelColours.Columns()));
        h = std::min<std::int64_t>(h, static_cast<std::int64_t>(pic.PixelColours.Rows()) - 1);
        h = std::max<std::int64_t>(h, 0);
    }
    const auto surface = static_cast<std::uint64_t>(w + 4) * static_cast<std::uint64_t>(h + 3);
    const std::uint64_t held = 4 * pic.PixelColours.Size() + pic.PixelIndices.Size();
    if (surface > kMaxPixels || 4 * surface + held > DefaultMemoryBudget())
        throw TambrelError(kErrOutOfMemory, "Picture too large: " + std::to_string(pic.Width) +
                                                " x " + std::to_string(pic.Height) +
                                                " pixels is more than this program holds");
    return QSize(static_cast<int>(w), static_cast<int>(h));
}

// What a save from these windows may replace: never the picture's own file; a
// read-only file only when the user says so. Empty when the user declines.
std::optional<OutputRules> RulesForSaving(const IFF_Picture &pic, const std::string &name) {
    OutputRules rules{pic.PicturePath, false};
    if (IsReadOnlyFile(name)) {
        if (Tk().MessageBox("The file " + name + " is read-only. Replace it anyway?", MbYesNo,
                            MbQuestion, kOverwriteTitle) != IdYes)
            return std::nullopt;
        rules.replaceReadOnly = true;
    }
    return rules;
}

// The picture at full size on a white image of the given size: what
// DrawBitmap leaves on a surface. Any thread may build it.
QImage PictureImage(const IFF_Picture &pic, int width, int height,
                    std::atomic<std::int32_t> *rowsDrawn = nullptr) {
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    if (image.isNull())
        throw std::bad_alloc(); // the toolkit could not hold the drawing
    image.fill(kWhite);
    const auto &colours = pic.PixelColours;
    // Picture rows are 1 .. Height; row 0 of the buffer stays empty.
    if (!pic.HasBody() || pic.Width <= 0 || pic.Height <= 0 || colours.Rows() < 2)
        return image;
    const int rows = std::min<std::size_t>(
        {std::size_t(pic.Height), colours.Rows() - 1, std::size_t(image.height())});
    const int columns = std::min<std::size_t>(
        {std::size_t(pic.Width), colours.Columns(), std::size_t(image.width())});
    for (int y = 0; y < rows; ++y) {
        const std::uint32_t *src = colours.Row(static_cast<std::size_t>(y) + 1);
        auto *dst = reinterpret_cast<std::uint32_t *>(image.scanLine(y));
        // RGB32 keeps 0xffRRGGBB: the value's top byte is replaced.
        for (int x = 0; x < columns; ++x)
            dst[x] = src[x] | 0xff000000u;
        if (rowsDrawn)
            rowsDrawn->store(y + 1, std::memory_order_relaxed);
    }
    return image;
}

// The toolbar pictures, drawn here rather than shipped as files.
QIcon ToolbarIcon(int position) {
    QPixmap pm(24, 24);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1.2));
    switch (position) {
    case 1: // a blank page with a folded corner
        p.setBrush(Qt::white);
        p.drawPolygon(QPolygonF(
            {QPointF(5, 2), QPointF(15, 2), QPointF(20, 7), QPointF(20, 22), QPointF(5, 22)}));
        p.drawPolyline(QPolygonF({QPointF(15, 2), QPointF(15, 7), QPointF(20, 7)}));
        break;
    case 2: // an open folder
        p.setBrush(QColor(235, 190, 80));
        p.drawRect(QRectF(2, 6, 18, 14));
        p.setBrush(QColor(250, 215, 120));
        p.drawPolygon(
            QPolygonF({QPointF(5, 10), QPointF(23, 10), QPointF(20, 20), QPointF(2, 20)}));
        break;
    case 3: // a disk
        p.setBrush(QColor(60, 90, 170));
        p.drawRect(QRectF(3, 3, 18, 18));
        p.setBrush(Qt::white);
        p.drawRect(QRectF(7, 3, 10, 7));
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(QRectF(6, 14, 12, 7));
        break;
    default: // an eye
        p.setBrush(Qt::white);
        p.drawEllipse(QRectF(2, 7, 20, 10));
        p.setBrush(QColor(30, 110, 60));
        p.drawEllipse(QRectF(8, 8, 8, 8));
        p.setBrush(Qt::black);
        p.drawEllipse(QRectF(10.5, 10.5, 3, 3));
        break;
    }
    return QIcon(pm);
}

// Folders of installed programs (the system's own, even when root may write
// them): preferences never go there, so a package leaves nothing behind.
bool SystemProgramFolder(const std::string &folder) {
    return folder == "/bin" || folder == "/sbin" || folder.rfind("/usr/", 0) == 0 ||
           folder.rfind("/opt/", 0) == 0;
}

// True when a file can be created in `folder` (the real test, not the mode bits).
bool FolderWritable(const std::string &folder) {
    if (folder.empty() || SystemProgramFolder(folder) ||
        !QFileInfo(QString::fromStdString(folder)).isDir())
        return false;
    QTemporaryFile probe(QString::fromStdString(folder) + "/.tambrel-probe-XXXXXX");
    return probe.open();
}

} // namespace

TambrelMain::TambrelMain(const MainWindowOptions &options, QWidget *parent) : QMainWindow(parent) {
    setObjectName("TambrelMain");
    QIcon icon;
    for (int size : {16, 32, 48})
        icon.addPixmap(QPixmap::fromImage(DrawTambrelIcon(size)));
    setWindowIcon(icon);
    timer1_ = new QTimer(this);
    timer1_->setObjectName("Timer1");
    timer1_->setInterval(100);
    connect(timer1_, &QTimer::timeout, this, &TambrelMain::Timer1_Timer);
    timer1_->start();

    BuildMenus();
    BuildToolbar();
    BuildLayout();

    // Start-up: a fixed-size window (its layout is fixed), centred with its
    // frame; title, program folder, preferences.
    adjustSize();
    setFixedSize(size());
    setWindowFlag(Qt::WindowMaximizeButtonHint, false);
    CentreWithFrame(*this);
    creditText_ = MakeCreditText();
    setWindowTitle(QString::fromStdString(MainWindowTitle()));

    programFolder_ =
        options.ProgramFolder.empty() ? Tk().ApplicationFolder() : options.ProgramFolder;
    if (!programFolder_.empty() && programFolder_.back() == '/')
        programFolder_.pop_back();
    batchSaveMode_ = 2;
    ChoosePreferencesPath(options);
    memory_ = std::make_unique<Remembered>(configFolder_);
    prefs_ = Preferences{};
    LoadPreferences(prefsPath_, prefs_);
    if (!FileExists(prefsPath_) && prefsPath_ != programFolder_ + "/" + kPreferencesFileName)
        LoadPreferences(programFolder_ + "/" + kPreferencesFileName, prefs_);
    if (prefs_.SplashSetting == -1)
        timer1_->stop();

    picture6_->SetOuterSize(322, 258);
    do_New();
    setAcceptDrops(true);
}

TambrelMain::~TambrelMain() {
    // The secondary windows are top-level and not owned by Qt's parent chain.
    delete batch_.data();
    delete splash_.data();
    delete showPic_.data();
}

void TambrelMain::showEvent(QShowEvent *event) {
    QMainWindow::showEvent(event);
    // Centred again once the window manager's frame is known.
    if (!centredShown_) {
        centredShown_ = true;
        CentreWithFrame(*this);
    }
}

std::string TambrelMain::BatchFolder() const {
    return memory_->Folder("Batch");
}

void TambrelMain::SetBatchFolder(const std::string &folder) {
    memory_->SetFolder("Batch", folder);
}

std::string TambrelMain::DialogFolder(const std::string &fallback) const {
    const std::string kept = memory_->Folder("Dialogs");
    return kept.empty() ? fallback : kept;
}

void TambrelMain::RememberDialogFolder(const std::string &chosen) {
    memory_->SetFolder("Dialogs",
                       QFileInfo(QString::fromStdString(chosen)).absolutePath().toStdString());
}

void TambrelMain::FollowInPictureWindow() {
    if (showPic_ && showPic_->isVisible())
        showPic_->Refresh();
}

ShowPic *TambrelMain::PictureWindow() const {
    return showPic_.data();
}
Frm_SplashScreen *TambrelMain::SplashWindow() const {
    return splash_.data();
}
Frm_Batch_Conversion *TambrelMain::BatchWindow() const {
    return batch_.data();
}

void TambrelMain::ChoosePreferencesPath(const MainWindowOptions &options) {
    configFolder_ = options.ConfigFolder;
    if (configFolder_.empty())
        configFolder_ =
            QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation).toStdString();
    // An installed program cannot write its own folder: the user's
    // configuration folder then keeps the preferences, so the choice sticks.
    if (FolderWritable(programFolder_))
        prefsPath_ = programFolder_ + "/" + kPreferencesFileName;
    else
        prefsPath_ = configFolder_ + "/" + kPreferencesFileName;
}

void TambrelMain::BuildLayout() {
    auto *client = new QWidget(this);
    client->setObjectName("ClientArea");
    const int toolbarHeight = 42;
    client->setFixedSize(537, 335 - toolbarHeight);
    const int top = 48 - toolbarHeight;

    frame1_ = new QGroupBox("Picture Info", client);
    frame1_->setObjectName("Frame1");
    frame1_->setGeometry(8, top, 177, 281);
    picture1_ = new PictureSurface(frame1_, 1);
    picture1_->setObjectName("Picture1");
    picture1_->setToolTip("IFF Images Details");
    picture1_->move(8, 16);
    picture1_->SetOuterSize(161, 257);
    picture1_->FollowDeviceRatio();

    frame2_ = new QGroupBox("Preview Picture (320*256)", client);
    frame2_->setObjectName("Frame2");
    frame2_->setGeometry(192, top, 337, 281);
    picture6_ = new PictureSurface(frame2_, 1);
    picture6_->setObjectName("Picture6");
    picture6_->setToolTip("Scaled Version Of Image");
    picture6_->move(8, 16);
    picture6_->FollowDeviceRatio();

    // The work surface is never shown; scaled copies read its drawing.
    picture5_ = new PictureSurface(client, 1);
    picture5_->setObjectName("Picture5");
    picture5_->hide();

    setCentralWidget(client);
}

void TambrelMain::BuildMenus() {
    // Captions carry their mnemonics ("&"); the shown text is unchanged.
    auto action = [this](QMenu *menu, const char *name, const char *caption, auto handler) {
        QAction *a = menu->addAction(QString::fromUtf8(caption));
        a->setObjectName(name);
        connect(a, &QAction::triggered, this, handler);
        return a;
    };
    auto separator = [](QMenu *menu, const char *name) {
        QAction *a = menu->addSeparator();
        a->setObjectName(name);
    };

    QMenu *file = menuBar()->addMenu("&File");
    file->setObjectName("mnu_file");
    file->menuAction()->setObjectName("mnu_file");
    action(file, "Mnu_File_new", "&New", &TambrelMain::Mnu_File_new_Click)
        ->setShortcut(QKeySequence::New);
    action(file, "mnu_file_Load", "&Load IFF", &TambrelMain::mnu_file_Load_Click)
        ->setShortcut(QKeySequence::Open);
    separator(file, "mnu_File_nothing22");
    action(file, "mnu_File_SAVE", "&Save Bitmap", &TambrelMain::mnu_File_SAVE_Click)
        ->setShortcut(QKeySequence::Save);
    action(file, "mnu_File_SAVESA", "Save Bitmap &As", &TambrelMain::mnu_File_SAVESA_Click)
        ->setShortcut(QKeySequence::SaveAs);
    separator(file, "mnu_File_nothing");
    action(file, "mnu_Convert_Folder", "&Convert Folder", &TambrelMain::mnu_Convert_Folder_Click);
    separator(file, "mnu_file_slash");
    action(file, "mnu_File_Quit", "&Quit", &TambrelMain::mnu_File_Quit_Click)
        ->setShortcut(QKeySequence::Quit);

    QMenu *exportMenu = menuBar()->addMenu("&Export");
    exportMenu->setObjectName("mnu_Export");
    exportMenu->menuAction()->setObjectName("mnu_Export");
    action(exportMenu, "mnu_Export_palette_AS_text", "&Palette As Text",
           &TambrelMain::mnu_Export_palette_AS_text_Click);
    action(exportMenu, "mnu_Export_Image_As_Chunky", "Image As RAW &8bit Chunky",
           &TambrelMain::mnu_Export_Image_As_Chunky_Click);
    action(exportMenu, "mnu_Export_Image_As_32bitRGBChunky", "Image As RAW &32bit RGB",
           &TambrelMain::mnu_Export_Image_As_32bitRGBChunky_Click);
    action(exportMenu, "mnu_Export_Image_As_PNG", "Image As PNG",
           &TambrelMain::mnu_Export_Image_As_PNG_Click);

    QMenu *about = menuBar()->addMenu("&About");
    about->setObjectName("mnu_Abuot");
    about->menuAction()->setObjectName("mnu_Abuot");
    action(about, "mnu_about_about", "&About", &TambrelMain::mnu_about_about_Click);
    action(about, "mnu_about_website", kMakerCaption, &TambrelMain::mnu_about_website_Click);

    // F10 opens the menu bar, as on other desktops.
    auto *menuKey = new QAction(this);
    menuKey->setObjectName("MenuBarKey");
    menuKey->setShortcut(Qt::Key_F10);
    connect(menuKey, &QAction::triggered, this, [this] {
        if (!menuBar()->actions().isEmpty()) {
            menuBar()->setFocus(Qt::ShortcutFocusReason);
            menuBar()->setActiveAction(menuBar()->actions().first());
        }
    });
    addAction(menuKey);
}

void TambrelMain::BuildToolbar() {
    toolbar1_ = addToolBar("Toolbar1");
    toolbar1_->setObjectName("Toolbar1");
    toolbar1_->setMovable(false);
    toolbar1_->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    toolbar1_->setIconSize(QSize(24, 24));
    const char *texts[4] = {"New", "Load", "Save As", "View"};
    for (int position = 1; position <= 4; ++position) {
        QAction *a = toolbar1_->addAction(ToolbarIcon(position), texts[position - 1]);
        a->setObjectName(QString("Toolbar1_Button%1").arg(position));
        a->setToolTip(texts[position - 1]);
        connect(a, &QAction::triggered, this, [this, position] { Toolbar1_ButtonClick(position); });
    }
    // View has no menu entry: its shortcut lives on the toolbar button.
    toolbar1_->actions().at(3)->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Return), QKeySequence(Qt::CTRL | Qt::Key_Enter)});
}

// ---- Start-up timer, splash and shut-down ----

void TambrelMain::Timer1_Timer() {
    timer1_->stop();
    ShowSplash();
}

void TambrelMain::ShowSplash() {
    // A splash window that was closed is built afresh, text and all.
    if (splash_ && !splash_->isVisible()) {
        delete splash_.data();
        splash_ = nullptr;
    }
    if (!splash_) {
        splash_ = new Frm_SplashScreen();
        splash_->setAttribute(Qt::WA_DeleteOnClose);
        splash_->SetQuitRequested([this] { close(); });
        splash_->SetOpenWebSite([](const std::string &url) { Tk().ShellOpen(url); });
    }
    splash_->show();
    splash_->raise();
    splash_->repaint();
}

void TambrelMain::WritePreferences() {
    try {
        const std::string fallback = configFolder_ + "/" + kPreferencesFileName;
        if (prefsPath_ == fallback)
            QDir().mkpath(QString::fromStdString(configFolder_));
        if (SavePreferences(prefsPath_, prefs_))
            return;
        // The program folder turned out read-only: keep the choice per user.
        if (fallback != prefsPath_ && QDir().mkpath(QString::fromStdString(configFolder_)))
            SavePreferences(fallback, prefs_);
    } catch (...) {
        // Shut-down completes whatever the file system says.
    }
}

void TambrelMain::ProgramEnded() {
    if (ended_)
        return;
    ended_ = true;
    timer1_->stop();
    WritePreferences();
    if (batch_) {
        batch_->RequestStop();
        batch_->close();
    }
    if (splash_)
        splash_->close();
    if (showPic_)
        showPic_->close();
    close();
}

void TambrelMain::closeEvent(QCloseEvent *event) {
    if (!ended_) {
        ProgramEnded();
        Tk().EndProgram();
    }
    event->accept();
}

void TambrelMain::mnu_File_Quit_Click() {
    ProgramEnded();
    Tk().EndProgram();
}

void TambrelMain::mnu_about_about_Click() {
    ShowSplash();
    timer1_->stop();
}

void TambrelMain::mnu_about_website_Click() {
    Tk().ShellOpen(MakerWebAddress());
}

// ---- Display ----

void TambrelMain::do_New() {
    picture_.Width = 0;
    picture_.Height = 0;
    picture_.PictureName.clear();
    picture_.PictureLoaded = 0;
    picture5_->Clear();
    picture6_->SetBackColor(kWhite);
    picture6_->Clear();
    picture1_->SetBackColor(kWhite);
    picture1_->Clear();
    FollowInPictureWindow();
}

void TambrelMain::DrawBitmap(PictureSurface &surface) {
    surface.SetBackColor(kWhite);
    surface.AdoptImage(PictureImage(picture_, surface.InnerWidth(), surface.InnerHeight()));
}

int TambrelMain::COlPrint(PictureSurface &surface, const QString &ThisField,
                          const QString &ThisTExt) {
    surface.SetBold(false);
    const double x = std::nearbyint(surface.CurrentX());
    const double y = std::nearbyint(surface.CurrentY());
    surface.SetForeColor(kLabelColour);
    const int w = surface.TextWidth(ThisField + " ");
    surface.PrintLine(ThisField);
    surface.SetBold(true);
    surface.SetCurrentX(x + w);
    surface.SetCurrentY(y);
    surface.SetForeColor(kValueColour);
    surface.PrintLine(ThisTExt);
    return 0;
}

void TambrelMain::IFF_Show_Image_info(PictureSurface &surface) {
    surface.Clear();
    for (const auto &[label, value] : ImageInfoLines(picture_)) {
        // The file name may be cut off at the panel's edge: its line shows the
        // whole path as a tooltip.
        if (label == "File:" && !picture_.PicturePath.empty())
            surface.SetLineToolTip(std::nearbyint(surface.CurrentY()),
                                   QString::fromStdString(picture_.PicturePath));
        COlPrint(surface, QString::fromStdString(label), QString::fromStdString(value));
    }
}

// ---- Load ----

void TambrelMain::mnu_file_Load_Click() {
    Do_LOAD();
}

void TambrelMain::Do_LOAD() {
    if (Busy())
        return;
    BusyScope busy(*this);
    std::string chosen;
    const bool asked = InLoadErrorTrap([&] {
        cCommonDialog dialog;
        cCommonDialog::OpenArgs args;
        args.Filter =
            std::string("(*") + ".Iff" + ")|*.iff|" + kAmigaPicturesFilter + "all files|*|";
        args.FilterIndex = 1;
        args.DefaultExt = "IFF";
        args.InitDir = DialogFolder();
        args.Owner = this;
        args.flags = 4;
        if (dialog.VBGetOpenFileName(args))
            chosen = args.Filename;
    });
    if (!asked || chosen.empty())
        return;
    RememberDialogFolder(chosen);
    LoadChosenFile(chosen);
}

bool TambrelMain::LoadFromPath(const std::string &path) {
    if (Busy())
        return false;
    BusyScope busy(*this);
    LoadChosenFile(path);
    return true;
}

void TambrelMain::OpenAtStart(const std::string &path) {
    if (path.empty())
        return;
    QTimer::singleShot(0, this, [this, path] { LoadFromPath(path); });
}

void TambrelMain::LoadChosenFile(const std::string &path) {
    InLoadErrorTrap([&] {
        Tk().Yield();
        do_New();
        IFF_DO_LOAD_IFF(path);
    });
}

bool TambrelMain::InLoadErrorTrap(const std::function<void()> &step) {
    try {
        step();
        return true;
    } catch (...) {
        const Failure failure = CurrentFailure();
        Tk().MessageBox("Load Error: " + NumberText(failure.Number) + "  " + failure.Description,
                        MbOkOnly, MbCritical);
    }
    return false;
}

// ---- Drag and drop ----

void TambrelMain::dragEnterEvent(QDragEnterEvent *event) {
    if (!Busy() && event->mimeData() && !FirstLocalFile(*event->mimeData()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TambrelMain::dragMoveEvent(QDragMoveEvent *event) {
    if (!Busy() && event->mimeData() && !FirstLocalFile(*event->mimeData()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TambrelMain::dropEvent(QDropEvent *event) {
    const std::string path = event->mimeData() ? FirstLocalFile(*event->mimeData()) : std::string();
    if (Busy() || path.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The file manager waits for the drop to end: the load runs right after.
    QTimer::singleShot(0, this, [this, path] { LoadFromPath(path); });
}

void TambrelMain::IFF_DO_LOAD_IFF(const std::string &path) {
    BusyScope busy(*this);
    if (!FileExists(path)) {
        Tk().MessageBox("Error- File Doesn't Exist", MbOkOnly, MbCritical);
        picture_.LoadStatus = 0;
        return;
    }
    // The work surface holds the picture with a white margin; the preview is
    // its whole inner area stretched to 320 x 256. The worker draws it.
    QImage drawing;
    if (LoadInWorker(path, drawing) == 0)
        return;
    IFF_Show_Image_info(*picture1_);
    picture5_->SetBackColor(kWhite);
    picture5_->AdoptImage(std::move(drawing));
    picture6_->SetOuterSize(324, 259);
    picture6_->SetBackColor(kWhite);
    picture6_->Clear();
    Tk().Yield();
    picture6_->DrawScaledFrom(*picture5_,
                              QRect(0, 0, picture5_->InnerWidth(), picture5_->InnerHeight()),
                              QRect(0, 0, 320, 256));

    if (!picture_.HasBody()) {
        picture6_->SetBackColor(kWhite);
        picture6_->Clear();
        picture6_->SetBold(true);
        picture6_->SetForeColor(kNoticeColour);
        picture6_->PrintLine(
            QString::fromStdString("Can't render:" + UpperCase(picture_.LoadedName)));
        picture6_->PrintLine("Missing Image BODY hunk");
        picture6_->SetBold(false);
        Tk().Yield();
    }
    FollowInPictureWindow();
}

int TambrelMain::LoadInWorker(const std::string &path, QImage &drawing) {
    MemoryBudget budget(DefaultMemoryBudget(), true);
    LoadProgress decoded;
    std::atomic<std::int32_t> drawn{0};
    QEventLoop loop;
    int result = 0;
    std::exception_ptr failure;
    picture_.Progress = &decoded;
    std::thread worker([&] {
        try {
            const BudgetScope scope(budget, 0);
            result = LoadIffPicture(picture_, path, false);
            if (result != 0) {
                const QSize area = PictureArea(picture_);
                drawing = PictureImage(picture_, area.width() + 2, area.height() + 1, &drawn);
            }
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // Loads that take a moment show their progress: a busy bar while the file
    // is read, then the rows decoded and drawn. The bar is set directly, as the
    // dialog's own setValue would take user input in the middle of the load.
    QProgressDialog progress(QString::fromStdString("Loading " + GetFileNameFromPath(path)),
                             QString(), 0, 0, this);
    auto *bar = new QProgressBar(&progress);
    bar->setRange(0, 0);
    progress.setBar(bar);
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, &progress, [&] {
        const int rows = decoded.Rows.load(std::memory_order_relaxed);
        if (rows <= 0)
            return;
        bar->setRange(0, 2 * rows);
        bar->setValue(std::min(decoded.RowsDone.load(std::memory_order_relaxed), rows) +
                      std::min(drawn.load(std::memory_order_relaxed), rows));
    });
    ticker.start(100);
    // User input waits until the load is over; painting and timers go on.
    loop.exec(QEventLoop::ExcludeUserInputEvents);
    worker.join();
    picture_.Progress = nullptr;
    if (failure)
        std::rethrow_exception(failure);
    return result;
}

// ---- Picture window ----

void TambrelMain::Do_Show_picture() {
    if (!picture_.Loaded())
        return;
    if (!showPic_)
        showPic_ = new ShowPic(*this);
    showPic_->ShowCurrentPicture();
}

// ---- Menus and toolbar ----

void TambrelMain::Mnu_File_new_Click() {
    if (Busy())
        return;
    do_New();
}

void TambrelMain::Toolbar1_ButtonClick(int position) {
    switch (position) {
    case 1:
        Mnu_File_new_Click();
        break;
    case 2:
        Do_LOAD();
        break;
    case 3:
        Do_SAVE();
        break;
    case 4:
        Do_Show_picture();
        break;
    default:
        break;
    }
}

void TambrelMain::mnu_Convert_Folder_Click() {
    // A closed batch window is built afresh; an open one is brought forward.
    if (batch_ && !batch_->isVisible() && !batch_->Running()) {
        delete batch_.data();
        batch_ = nullptr;
    }
    if (!batch_)
        batch_ = new Frm_Batch_Conversion(*this, windowIcon(), this);
    batch_->show();
    batch_->raise();
    batch_->activateWindow();
}

// ---- Saving ----

void TambrelMain::ReportSaveError(const Failure &failure) {
    Tk().MessageBox("Error: " + NumberText(failure.Number) + " " + failure.Description, MbOkOnly,
                    MbCritical);
}

void TambrelMain::mnu_File_SAVE_Click() {
    if (Busy() || !picture_.Loaded() || !picture_.HasBody() ||
        !BitmapWritable(picture_, picture_.Width, picture_.Height))
        return;
    BusyScope busy(*this);
    const std::string name = BitmapNameFor(picture_.PicturePath);
    if (FileExists(name) &&
        Tk().MessageBox(kOverwriteQuestion, MbYesNo, MbQuestion, kOverwriteTitle) == IdNo)
        return;
    try {
        if (const auto rules = RulesForSaving(picture_, name))
            WriteBitmapFile(picture_, name, picture_.Width, picture_.Height, *rules);
    } catch (...) {
        ReportSaveError(CurrentFailure());
    }
}

void TambrelMain::mnu_File_SAVESA_Click() {
    Do_SAVE();
}

void TambrelMain::Do_SAVE() {
    // No dialog for a picture the writer would refuse (no BODY, zero size).
    if (Busy() || !picture_.Loaded() || !BitmapWritable(picture_, picture_.Width, picture_.Height))
        return;
    BusyScope busy(*this);
    try {
        cCommonDialog dialog;
        cCommonDialog::SaveArgs args;
        args.OverWritePrompt = true;
        args.Filter = std::string("(*") + ".bmp" + ")|*" + ".bmp" + "|";
        args.FilterIndex = 1;
        args.DefaultExt = "bmp";
        // The picture's BMP name, in the folder last used (else the picture's).
        const QFileInfo bmp(QString::fromStdString(BitmapNameFor(picture_.PicturePath)));
        args.Filename = bmp.fileName().toStdString();
        args.InitDir = DialogFolder(bmp.absolutePath().toStdString());
        args.Owner = this;
        args.flags = 0;
        if (!dialog.VBGetSaveFileName(args) || args.Filename.empty())
            return;
        RememberDialogFolder(args.Filename);
        if (const auto rules = RulesForSaving(picture_, args.Filename))
            WriteBitmapFile(picture_, args.Filename, picture_.Width, picture_.Height, *rules);
    } catch (...) {
        ReportSaveError(CurrentFailure());
    }
}

ConvertResult TambrelMain::Convert_And_Save_This_File(const std::string &Filename, long SaveMode) {
    BusyScope busy(*this);
    return ConvertFile(picture_, Filename, BitmapNameFor(Filename), static_cast<int>(SaveMode),
                       [this](const std::string &path) {
                           do_New();
                           IFF_DO_LOAD_IFF(path);
                           picture6_->repaint();
                       });
}

ConvertResult TambrelMain::ConvertOneFile(const std::string &path, int saveMode) {
    return Convert_And_Save_This_File(path, saveMode);
}

// ---- Exports ----

void TambrelMain::mnu_Export_palette_AS_text_Click() {
    RunExport(ExportKind::Palette);
}
void TambrelMain::mnu_Export_Image_As_Chunky_Click() {
    RunExport(ExportKind::Indices);
}
void TambrelMain::mnu_Export_Image_As_32bitRGBChunky_Click() {
    RunExport(ExportKind::Colours);
}
void TambrelMain::mnu_Export_Image_As_PNG_Click() {
    RunExport(ExportKind::Png);
}

void TambrelMain::RunExport(ExportKind kind) {
    if (Busy())
        return;
    const bool allowed = kind == ExportKind::Colours   ? CanExportRawColours(picture_)
                         : kind == ExportKind::Indices ? CanExportRawIndices(picture_)
                         : kind == ExportKind::Png     ? picture_.Loaded() && PngWritable(picture_)
                                                       : CanExportPalette(picture_);
    if (!allowed && kind != ExportKind::Colours && HoldsTrueColour(picture_)) {
        Tk().MessageBox("Can't export: " +
                        TrueColourExportReason(picture_, kind == ExportKind::Palette));
        return;
    }
    if (!allowed)
        return;
    BusyScope busy(*this);
    try {
        cCommonDialog dialog;
        cCommonDialog::SaveArgs args;
        args.OverWritePrompt = true;
        args.FilterIndex = 1;
        args.InitDir = DialogFolder();
        args.Owner = this;
        args.flags = 0;
        switch (kind) {
        case ExportKind::Colours:
            args.Filter = "(*.rgb)|*.rgb|";
            args.DefaultExt = "rgb";
            break;
        case ExportKind::Indices:
            args.Filter = "(*.lut)|*.lut|";
            args.DefaultExt = "lut";
            break;
        case ExportKind::Palette:
            args.Filter = "(*.txt)|*.txt|";
            args.DefaultExt = "TXT";
            break;
        case ExportKind::Png:
            args.Filter = "(*.png)|*.png|";
            args.DefaultExt = "png";
            break;
        }
        if (!dialog.VBGetSaveFileName(args) || args.Filename.empty())
            return;
        RememberDialogFolder(args.Filename);
        // The dialog has asked already; the program asks once more.
        if (FileExists(args.Filename) &&
            Tk().MessageBox(kOverwriteQuestion, MbYesNo, MbQuestion, kOverwriteTitle) == IdNo)
            return;
        const auto rules = RulesForSaving(picture_, args.Filename);
        if (!rules)
            return;
        AtomicFile out(args.Filename, *rules);
        switch (kind) {
        case ExportKind::Colours:
            WriteRawColoursTo(out, picture_);
            break;
        case ExportKind::Indices:
            WriteRawIndicesTo(out, picture_);
            break;
        case ExportKind::Palette:
            WritePaletteTextTo(out, picture_);
            break;
        case ExportKind::Png:
            WritePngTo(out, picture_);
            break;
        }
        out.Commit();
    } catch (...) {
        if (kind == ExportKind::Palette) {
            Tk().MessageBox("Error: Bad Folder or Drive Selection", MbOkOnly, MbCritical);
            return;
        }
        const Failure failure = CurrentFailure();
        Tk().MessageBox("Error Number: " + NumberText(failure.Number) + "   " + failure.Description,
                        MbOkOnly, MbCritical);
    }
}

} // namespace tambrel
