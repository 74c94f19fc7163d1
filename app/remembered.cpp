#include "app/remembered.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace tambrel {

Remembered::Remembered(const std::string &configFolder)
    : path_(configFolder + "/" + kRememberedFileName),
      settings_(std::make_unique<QSettings>(QString::fromStdString(path_), QSettings::IniFormat)) {}

Remembered::~Remembered() = default;

std::string Remembered::Folder(const char *key) const {
    const QString folder = settings_->value(QStringLiteral("Folders/") + key).toString();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder.toStdString() : std::string();
}

void Remembered::SetFolder(const char *key, const std::string &folder) {
    if (folder.empty())
        return;
    QDir().mkpath(QFileInfo(QString::fromStdString(path_)).absolutePath());
    settings_->setValue(QStringLiteral("Folders/") + key, QString::fromStdString(folder));
    settings_->sync();
}

} // namespace tambrel
