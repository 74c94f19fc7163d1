#include "app/open_request.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

namespace tambrel {

std::string LocalPathFrom(const QString &given) {
    if (given.isEmpty())
        return {};
    QString path = given;
    if (given.startsWith("file:", Qt::CaseInsensitive)) {
        const QUrl url(given);
        if (!url.isValid() || !url.isLocalFile())
            return {};
        path = url.toLocalFile();
        if (path.isEmpty())
            return {};
    } else if (given.contains("://")) {
        return {}; // another kind of URL names no local file
    }
    if (QDir::isRelativePath(path))
        path = QDir::cleanPath(QDir::current().absoluteFilePath(path));
    return path.toStdString();
}

std::string FileFromArguments(const QStringList &arguments) {
    bool optionsEnded = false;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (!optionsEnded && arg.startsWith('-'))
            continue;
        const std::string path = LocalPathFrom(arg);
        if (!path.empty())
            return path;
    }
    return {};
}

std::string FirstLocalFile(const QMimeData &data) {
    if (!data.hasUrls())
        return {};
    for (const QUrl &url : data.urls()) {
        if (!url.isLocalFile())
            continue;
        const QString path = url.toLocalFile();
        // A folder is never a picture; a missing file is loaded and reported.
        if (path.isEmpty() || QFileInfo(path).isDir())
            continue;
        return path.toStdString();
    }
    return {};
}

} // namespace tambrel
