#include "batch/batch_conversion.h"

#include "common/errors.h"
#include "convert/convert.h"
#include "dialogs/toolkit.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
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

const char *kConvertMoreQuestion =
    "Batch Conversion Complete - Would You Like To Convert Another Folder ?";

} // namespace

Frm_Batch_Conversion::Frm_Batch_Conversion(BatchHost &host, const QIcon &icon)
    : QWidget(nullptr, Qt::Window), host_(host) {
    setObjectName("Frm_Batch_Conversion");
    setWindowTitle("Batch IFF Conversion");
    setWindowIcon(icon);

    auto *sourceFrame = new QGroupBox("Select Source IFF Folder", this);
    sourceFrame->setObjectName("Frame_Source");
    drive_ = new QComboBox(sourceFrame);
    drive_->setObjectName("Drive");
    folderPath_ = new QLabel(sourceFrame);
    folderPath_->setObjectName("FolderPath");
    folderPath_->setTextInteractionFlags(Qt::TextSelectableByMouse);
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
    progress_->setRange(0, 1);
    progress_->setValue(0);
    progress_->setFormat("%v / %m files");

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

    if (QScreen *screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->availableGeometry();
        move(area.x() + (area.width() - width()) / 2, area.y() + (area.height() - height()) / 2);
    }
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
    QDir dir(QString::fromStdString(path));
    // Name filters match regardless of letter case; hidden files are left out.
    const auto names =
        dir.entryList({"*.iff"}, QDir::Files | QDir::NoDotAndDotDot, QDir::Name | QDir::IgnoreCase);
    QString text;
    for (const QString &name : names) {
        if (folderFiles_.size() == folderFiles_.capacity()) {
            // Long folders grow in steps, letting the window breathe between them.
            folderFiles_.reserve(folderFiles_.capacity() + 256);
            Tk().Yield();
        }
        folderFiles_.push_back(name.toStdString());
        text += name + "\n";
    }
    textFileList_->setPlainText(text);
    progress_->setRange(0, std::max<int>(1, static_cast<int>(folderFiles_.size())));
    progress_->setValue(0);
}

std::vector<std::pair<std::string, std::string>>
Frm_Batch_Conversion::Convert_Pictures_In_Folder(const std::string &folder) {
    std::vector<std::pair<std::string, std::string>> failures;
    const int mode = listSaveMethod_->currentRow();
    progress_->setRange(0, std::max<int>(1, static_cast<int>(folderFiles_.size())));
    progress_->setValue(0);
    int done = 0;
    for (const std::string &name : folderFiles_) {
        if (stopRequested_)
            break;
        // The name is used as listed: blanks at either end belong to it.
        if (name.empty())
            continue;
        const std::string full = folder == "/" ? "/" + name : folder + "/" + name;
        std::string reason;
        try {
            reason = host_.ConvertOneFile(full, mode).reason;
        } catch (...) {
            const Failure failure = CurrentFailure();
            reason = FailureReason(failure.Number, failure.Description);
        }
        if (!reason.empty())
            failures.emplace_back(name, reason);
        progress_->setValue(++done);
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
    setEnabled(false);
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
        Tk().MessageBox(text, MbOkOnly, MbNoIcon, "Batch IFF Conversion");
    }
    if (Tk().MessageBox(kConvertMoreQuestion, MbYesNo, MbQuestion, "Convert More") == IdNo) {
        setEnabled(true);
        close();
        return;
    }
    setEnabled(true);
    Tk().Yield();
}

void Frm_Batch_Conversion::Button_Cancel_Click() {
    if (!running_)
        close();
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
