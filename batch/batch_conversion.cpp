#include "batch/batch_conversion.h"

#include "common/errors.h"
#include "convert/convert.h"
#include "convert/picture_list.h"
#include "dialogs/toolkit.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QShowEvent>
#include <QStorageInfo>
#include <QVBoxLayout>

#include <algorithm>
#include <new>

namespace tambrel {

const char *const kSaveMethodTexts[3] = {
    "Only Save Bitmap File is Not File Already Exists",
    "Overwrite Bitmap File If a File Exists",
    "Save Bitmap, Use Automatic File Renaming if File Exists",
};

namespace {

// The picture files of `path` (see ListPictureFiles) but the hidden ones, in
// the order the folder lists show names. Each keeps its bytes, so a name that
// is not valid UTF-8 is still converted under its own name. A folder that
// cannot be read to its end shows what was found before.
std::vector<std::string> PictureFilesOf(const std::string &path) {
    std::vector<std::pair<QString, std::string>> found;
    for (std::string &name : ListPictureFiles(path).names) {
        if (name[0] != '.')
            found.emplace_back(QFile::decodeName(QByteArray::fromStdString(name)), std::move(name));
    }
    std::stable_sort(found.begin(), found.end(), [](const auto &a, const auto &b) {
        return QString::compare(a.first, b.first, Qt::CaseInsensitive) < 0;
    });
    std::vector<std::string> names;
    names.reserve(found.size());
    for (auto &entry : found)
        names.push_back(std::move(entry.second));
    return names;
}

const char *kConvertMoreQuestion =
    "Batch Conversion Complete - Would You Like To Convert Another Folder ?";

const char *kBatchTitle = "Batch IFF Conversion";
constexpr int kGap = 8; // between the two windows

// The window placed on `side` of `main` (0 right, 1 left, 2 below, 3 above)
// with the width (or height) narrowed to the room there; empty when it does not fit.
QRect OnSide(int side, const QRect &main, const QSize &wanted, const QSize &minimum,
             const QRect &area) {
    const bool across = side < 2;
    const int room = side == 0   ? area.right() - main.right() - kGap
                     : side == 1 ? main.left() - area.left() - kGap
                     : side == 2 ? area.bottom() - main.bottom() - kGap
                                 : main.top() - area.top() - kGap;
    const int need = across ? minimum.width() : minimum.height();
    const int other =
        across ? std::min(wanted.height(), area.height()) : std::min(wanted.width(), area.width());
    if (room < need || other < (across ? minimum.height() : minimum.width()))
        return {};
    const int length = std::min(room, across ? wanted.width() : wanted.height());
    QRect r;
    if (across) {
        const int x = side == 0 ? main.right() + 1 + kGap : main.left() - kGap - length;
        const int y = std::clamp(main.top(), area.top(), area.bottom() + 1 - other);
        r = QRect(x, y, length, other);
    } else {
        const int y = side == 2 ? main.bottom() + 1 + kGap : main.top() - kGap - length;
        const int x = std::clamp(main.left(), area.left(), area.right() + 1 - other);
        r = QRect(x, y, other, length);
    }
    return r;
}

} // namespace

BatchPlacement PlaceBeside(const QRect &main, const QSize &wanted, const QSize &minimum,
                           const QRect &area) {
    for (int side = 0; side < 4; ++side) {
        const QRect r = OnSide(side, main, wanted, minimum, area);
        if (!r.isEmpty())
            return {r, main.topLeft()};
    }
    // No room where the main window stands: the pair is centred in the area,
    // side by side when the width allows, else one above the other.
    for (int across = 1; across >= 0; --across) {
        const int mainLength = across ? main.width() : main.height();
        const int areaLength = across ? area.width() : area.height();
        const int room = areaLength - mainLength - kGap;
        if (room < (across ? minimum.width() : minimum.height()))
            continue;
        const int length = std::min(room, across ? wanted.width() : wanted.height());
        const int start =
            (across ? area.left() : area.top()) + (areaLength - (mainLength + kGap + length)) / 2;
        QRect moved = main;
        if (across)
            moved.moveTo(start,
                         std::clamp(main.top(), area.top(),
                                    std::max(area.top(), area.bottom() + 1 - main.height())));
        else
            moved.moveTo(std::clamp(main.left(), area.left(),
                                    std::max(area.left(), area.right() + 1 - main.width())),
                         start);
        const QRect r = OnSide(across ? 0 : 2, moved, wanted, minimum, area);
        if (!r.isEmpty())
            return {r, moved.topLeft()};
    }
    // A screen too small for both: the bottom-right corner, the main window kept.
    const QSize size = wanted.boundedTo(area.size());
    return {QRect(area.right() + 1 - size.width(), area.bottom() + 1 - size.height(), size.width(),
                  size.height()),
            main.topLeft()};
}

std::string CountsLine(const BatchCounts &counts) {
    return "Converted: " + std::to_string(counts.Converted) +
           "   Kept (BMP already there): " + std::to_string(counts.Kept) +
           "   Not converted: " + std::to_string(counts.Failed);
}

Frm_Batch_Conversion::Frm_Batch_Conversion(BatchHost &host, const QIcon &icon, QWidget *mainWindow)
    : QWidget(nullptr, Qt::Window), host_(host), mainWindow_(mainWindow) {
    setObjectName("Frm_Batch_Conversion");
    setWindowTitle("Batch IFF Conversion");
    setWindowIcon(icon);

    auto *sourceFrame = new QGroupBox("Select Source IFF Folder", this);
    sourceFrame_ = sourceFrame;
    sourceFrame->setObjectName("Frame_Source");
    drive_ = new QComboBox(sourceFrame);
    drive_->setObjectName("Drive");
    // The folder can be typed or pasted; Enter lists it.
    folderPath_ = new QLineEdit(sourceFrame);
    folderPath_->setObjectName("FolderPath");
    folder_ = new QListWidget(sourceFrame);
    folder_->setObjectName("Folder");
    textFileList_ = new QPlainTextEdit(sourceFrame);
    textFileList_->setObjectName("Text_FileList");
    textFileList_->setReadOnly(true);
    auto *sourceLayout = new QVBoxLayout(sourceFrame);
    sourceLayout->addWidget(drive_);
    sourceLayout->addWidget(folderPath_);
    auto *lists = new QHBoxLayout;
    lists->addWidget(folder_);
    lists->addWidget(textFileList_);
    sourceLayout->addLayout(lists);

    auto *methodFrame = new QGroupBox("Select Save BitMap Method", this);
    methodFrame_ = methodFrame;
    methodFrame->setObjectName("Frame_SaveMethod");
    listSaveMethod_ = new QListWidget(methodFrame);
    listSaveMethod_->setObjectName("List_SaveMethod");
    for (const char *text : kSaveMethodTexts)
        listSaveMethod_->addItem(text);
    listSaveMethod_->setFixedHeight(listSaveMethod_->sizeHintForRow(0) * 3 + 6);
    auto *methodLayout = new QVBoxLayout(methodFrame);
    methodLayout->addWidget(listSaveMethod_);

    progress_ = new QProgressBar(this);
    progress_->setObjectName("Progress");
    ShowProgress(0, 0);

    buttonConvert_ = new QPushButton("Convert All", this);
    buttonConvert_->setObjectName("Button_Convert");
    buttonCancel_ = new QPushButton("Cancel", this);
    buttonCancel_->setObjectName("Button_Cancel");
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(buttonConvert_);
    buttons->addWidget(buttonCancel_);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(sourceFrame, 1);
    layout->addWidget(methodFrame);
    layout->addWidget(progress_);
    layout->addLayout(buttons);
    resize(520, 420);

    // Drives: the mounted volumes, the root first, then the home folder.
    std::vector<std::string> volumes;
    for (const QStorageInfo &v : QStorageInfo::mountedVolumes())
        if (v.isValid() && v.isReady())
            volumes.push_back(v.rootPath().toStdString());
    std::sort(volumes.begin(), volumes.end());
    volumes.erase(std::unique(volumes.begin(), volumes.end()), volumes.end());
    auto root = std::find(volumes.begin(), volumes.end(), "/");
    if (root != volumes.end())
        std::rotate(volumes.begin(), root, root + 1);
    else
        volumes.insert(volumes.begin(), "/");
    volumes.push_back(QDir::homePath().toStdString());
    for (const auto &v : volumes)
        drive_->addItem(QString::fromStdString(v));

    connect(drive_, &QComboBox::activated, this, &Frm_Batch_Conversion::Drive_Change);
    connect(folder_, &QListWidget::itemActivated, this, &Frm_Batch_Conversion::Folder_Activated);
    connect(listSaveMethod_, &QListWidget::currentRowChanged, this,
            &Frm_Batch_Conversion::List_SaveMethod_Click);
    connect(buttonConvert_, &QPushButton::clicked, this,
            &Frm_Batch_Conversion::Button_Convert_Click);
    connect(buttonCancel_, &QPushButton::clicked, this, &Frm_Batch_Conversion::Button_Cancel_Click);
    connect(folderPath_, &QLineEdit::returnPressed, this,
            &Frm_Batch_Conversion::FolderField_Entered);
    // Escape closes the window, but never stops a run.
    auto *escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escape, &QShortcut::activated, this, [this] {
        if (!running_)
            close();
    });

    // The folder of the last opening or run, else the process's current folder.
    currentPath_ = host_.BatchFolder();
    if (currentPath_.empty())
        currentPath_ = QDir::currentPath().toStdString();
    FillFolderList();
    ListFolderFiles(currentPath_);
    listSaveMethod_->setCurrentRow(host_.SaveMethod());
}

std::vector<std::string> Frm_Batch_Conversion::DrivePaths() const {
    std::vector<std::string> paths;
    for (int i = 0; i < drive_->count(); ++i)
        paths.push_back(drive_->itemText(i).toStdString());
    return paths;
}

void Frm_Batch_Conversion::Drive_Change(int index) {
    if (index >= 0)
        SetCurrentPath(drive_->itemText(index).toStdString());
}

void Frm_Batch_Conversion::SetCurrentPath(const std::string &path) {
    if (running_)
        return;
    currentPath_ = QDir::cleanPath(QString::fromStdString(path)).toStdString();
    host_.SetBatchFolder(currentPath_);
    Folder_Change();
}

void Frm_Batch_Conversion::Folder_Change() {
    FillFolderList();
    ListFolderFiles(currentPath_);
    Tk().Yield();
}

void Frm_Batch_Conversion::Folder_Activated(QListWidgetItem *item) {
    if (!item)
        return;
    SetCurrentPath(currentPath_ + "/" + item->text().toStdString());
}

void Frm_Batch_Conversion::FolderField_Entered() {
    const QString typed = folderPath_->text().trimmed();
    if (!running_ && QFileInfo(typed).isDir())
        SetCurrentPath(QFileInfo(typed).absoluteFilePath().toStdString());
    else
        folderPath_->setText(QString::fromStdString(currentPath_));
}

void Frm_Batch_Conversion::ShowProgress(int done, int total) {
    // An empty list reads "0 / 0 files" (an empty range would show no text).
    progress_->setRange(0, std::max(1, total));
    progress_->setValue(done);
    progress_->setFormat(total == 0 ? QStringLiteral("0 / 0 files")
                                    : QStringLiteral("%v / %m files"));
}

void Frm_Batch_Conversion::FillFolderList() {
    folderPath_->setText(QString::fromStdString(currentPath_));
    // The drive list shows the volume (or home folder) holding the folder.
    int best = -1;
    std::size_t bestLength = 0;
    for (int i = 0; i < drive_->count(); ++i) {
        std::string root = drive_->itemText(i).toStdString();
        if (root.size() > 1 && root.back() == '/')
            root.pop_back();
        const bool holds =
            root == "/" || currentPath_ == root || currentPath_.rfind(root + "/", 0) == 0;
        if (holds && root.size() >= bestLength) {
            best = i;
            bestLength = root.size();
        }
    }
    if (best >= 0)
        drive_->setCurrentIndex(best);
    folder_->clear();
    QDir dir(QString::fromStdString(currentPath_));
    if (!dir.isRoot())
        folder_->addItem("..");
    const auto names =
        dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    for (const QString &name : names)
        folder_->addItem(name);
}

void Frm_Batch_Conversion::List_SaveMethod_Click(int row) {
    host_.SetSaveMethod(row);
}

void Frm_Batch_Conversion::ListFolderFiles(const std::string &path) {
    textFileList_->clear();
    folderFiles_.clear();
    folderFiles_.reserve(256);
    QString text;
    for (std::string &name : PictureFilesOf(path)) {
        if (folderFiles_.size() == folderFiles_.capacity()) {
            // Long folders grow in steps, letting the window breathe between them.
            folderFiles_.reserve(folderFiles_.capacity() + 256);
            Tk().Yield();
        }
        text += QFile::decodeName(QByteArray::fromStdString(name)) + "\n";
        folderFiles_.push_back(std::move(name));
    }
    textFileList_->setPlainText(text);
    ShowProgress(0, static_cast<int>(folderFiles_.size()));
    // A folder without pictures has nothing to convert.
    buttonConvert_->setEnabled(!running_ && !folderFiles_.empty());
}

std::vector<std::pair<std::string, std::string>>
Frm_Batch_Conversion::Convert_Pictures_In_Folder(const std::string &folder) {
    std::vector<std::pair<std::string, std::string>> failures;
    const int mode = listSaveMethod_->currentRow();
    const int total = static_cast<int>(folderFiles_.size());
    ShowProgress(0, total);
    counts_ = {};
    int done = 0;
    for (const std::string &name : folderFiles_) {
        if (stopRequested_ || cancelled_)
            break;
        // The name is used as listed: blanks at either end belong to it.
        if (name.empty())
            continue;
        const std::string full = folder == "/" ? "/" + name : folder + "/" + name;
        std::string reason;
        try {
            const ConvertResult result = host_.ConvertOneFile(full, mode);
            reason = result.reason;
            if (reason.empty() && result.kind == ConvertResult::SaveDone)
                ++(result.save.kind == SaveOutcome::Written ? counts_.Converted : counts_.Kept);
        } catch (...) {
            const Failure failure = CurrentFailure();
            reason = FailureReason(failure.Number, failure.Description);
        }
        if (!reason.empty()) {
            failures.emplace_back(name, reason);
            ++counts_.Failed;
        }
        ShowProgress(++done, total);
    }
    return failures;
}

void Frm_Batch_Conversion::Button_Convert_Click() {
    // A load under way in the main window owns the picture until it ends.
    if (running_ || !host_.RunAllowed())
        return;
    ListFolderFiles(currentPath_);
    std::vector<std::pair<std::string, std::string>> failures;
    host_.RunStarted();
    running_ = true;
    cancelled_ = false;
    SetInputEnabled(false);
    Tk().Yield();
    try {
        failures = Convert_Pictures_In_Folder(currentPath_);
    } catch (...) {
        running_ = false;
        host_.RunEnded();
        throw;
    }
    running_ = false;
    host_.RunEnded();
    if (stopRequested_) {
        close();
        return;
    }
    if (!failures.empty()) {
        std::string text = "These files were not converted:";
        for (const auto &[name, reason] : failures)
            text += "\r\n" + name + " - " + reason;
        Tk().MessageBox(text, MbOkOnly, MbNoIcon, kBatchTitle);
    }
    if (cancelled_) {
        // Stopped by Cancel: what was done, and the window stays for another try.
        Tk().MessageBox("Batch conversion cancelled after " + std::to_string(counts_.Converted) +
                            " of " + std::to_string(folderFiles_.size()) + " files.\r\n" +
                            CountsLine(counts_),
                        MbOkOnly, MbNoIcon, kBatchTitle);
        cancelled_ = false;
        SetInputEnabled(true);
        return;
    }
    if (Tk().MessageBox(std::string(kConvertMoreQuestion) + "\r\n" + CountsLine(counts_), MbYesNo,
                        MbQuestion, "Convert More") == IdNo) {
        SetInputEnabled(true);
        close();
        return;
    }
    SetInputEnabled(true);
    Tk().Yield();
}

void Frm_Batch_Conversion::SetInputEnabled(bool enabled) {
    // During a run only Cancel takes input.
    sourceFrame_->setEnabled(enabled);
    methodFrame_->setEnabled(enabled);
    buttonConvert_->setEnabled(enabled && !folderFiles_.empty());
}

void Frm_Batch_Conversion::Button_Cancel_Click() {
    if (running_)
        cancelled_ = true; // the run stops after the current file
    else
        close();
}

void Frm_Batch_Conversion::showEvent(QShowEvent *event) {
    QWidget::showEvent(event);
    if (!placed_) {
        placed_ = true;
        PlaceBesideMain();
    }
}

void Frm_Batch_Conversion::PlaceBesideMain() {
    QScreen *screen = mainWindow_ && mainWindow_->screen() ? mainWindow_->screen()
                                                           : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    // The window manager's frame is not known before the window is mapped:
    // the main window's own frame stands in for it.
    QMargins frame;
    if (mainWindow_) {
        const QRect outer = mainWindow_->frameGeometry(), inner = mainWindow_->geometry();
        frame = QMargins(inner.left() - outer.left(), inner.top() - outer.top(),
                         outer.right() - inner.right(), outer.bottom() - inner.bottom());
    }
    const QSize extra(frame.left() + frame.right(), frame.top() + frame.bottom());
    if (!mainWindow_) {
        move(area.x() + (area.width() - width() - extra.width()) / 2,
             area.y() + (area.height() - height() - extra.height()) / 2);
        return;
    }
    const BatchPlacement place =
        PlaceBeside(mainWindow_->frameGeometry(), size() + extra, minimumSizeHint() + extra, area);
    if (place.MainPos != mainWindow_->frameGeometry().topLeft())
        mainWindow_->move(place.MainPos);
    resize(place.Batch.size() - extra);
    move(place.Batch.topLeft());
}

void Frm_Batch_Conversion::closeEvent(QCloseEvent *event) {
    // A run cannot be interrupted from this window; shut-down asks it to stop.
    if (running_ && !stopRequested_) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace tambrel
