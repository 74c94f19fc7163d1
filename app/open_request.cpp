#include "app/open_request.h"

#include <QDir>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <unistd.h>

namespace tambrel {

namespace {

// A local file URL's path with its bytes kept: names that are no valid UTF-8
// stay percent-encoded in the URL and are decoded here byte for byte.
std::string UrlPathBytes(const QUrl &url) {
    return QByteArray::fromPercentEncoding(url.path(QUrl::FullyEncoded).toLatin1()).toStdString();
}

bool IsUtf8(const std::string &bytes) {
    return QString::fromStdString(bytes).toStdString() == bytes;
}

} // namespace

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
        if (const std::string bytes = UrlPathBytes(url); !IsUtf8(bytes) && url.host().isEmpty())
            return bytes;
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

std::string FileFromArguments(int argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (i == 0 || IsUtf8(arg)) {
            arguments.push_back(QString::fromStdString(arg));
            continue;
        }
        // A name that is no valid UTF-8 is a file name (options and URLs are
        // ASCII): its bytes are kept, relative to the current folder.
        if (const std::string earlier = FileFromArguments(arguments); !earlier.empty())
            return earlier;
        if (arguments.contains("--") || arg[0] != '-') {
            if (arg[0] == '/')
                return arg;
            char cwd[4096];
            return ::getcwd(cwd, sizeof cwd) ? std::string(cwd) + "/" + arg : arg;
        }
    }
    return FileFromArguments(arguments);
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
        const std::string bytes = UrlPathBytes(url);
        return IsUtf8(bytes) || !url.host().isEmpty() ? path.toStdString() : bytes;
    }
    return {};
}

} // namespace tambrel
