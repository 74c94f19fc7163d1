// The main window's set-up, menus, toolbar, splash and shut-down. Loading and
// display live in load_command.cpp, saving and the exports in save_commands.cpp.
#include "app/tambrel_main.h"

#include "app/centre.h"
#include "app/credit.h"
#include "app/remembered.h"
#include "app/show_pic.h"
#include "batch/batch_conversion.h"
#include "dialogs/toolkit.h"
#include "icon_painter.h"
#include "splash/maker_site.h"
#include "splash/splash_screen.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QGroupBox>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QShowEvent>
#include <QStandardPaths>
#include <QTemporaryFile>
#include <QTimer>
#include <QToolBar>

namespace tambrel {

namespace {

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
    // Spelled out: without a desktop theme the platform's Save As key is empty.
    action(file, "mnu_File_SAVESA", "Save Bitmap &As", &TambrelMain::mnu_File_SAVESA_Click)
        ->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
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
    action(exportMenu, "mnu_Export_Image_As_PNG", "Image As P&NG",
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
    // A load under way stops at its next row instead of holding the close up.
    if (loading_)
        loading_->Cancel.store(true, std::memory_order_relaxed);
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

} // namespace tambrel
