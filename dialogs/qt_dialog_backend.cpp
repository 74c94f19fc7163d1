#include "dialogs/qt_dialog_backend.h"

#include <QDir>
#include <QFileDialog>

namespace tambrel {

namespace {

QString ToQt(const std::string &text) {
    return QString::fromStdString(text);
}

} // namespace

QStringList QtNameFilters(const std::vector<FilterEntry> &filters) {
    QStringList list;
    for (const FilterEntry &entry : filters) {
        QString pattern = ToQt(entry.pattern);
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        const QString patterns = QStringLiteral("(") + pattern.simplified() + QStringLiteral(")");
        const QString description = ToQt(entry.description);
        // A description that already reads as its patterns, such as "(*.Iff)"
        // for *.iff, is not followed by them a second time.
        if (description.trimmed().compare(patterns, Qt::CaseInsensitive) == 0)
            list << description;
        else
            list << description + QStringLiteral(" ") + patterns;
    }
    return list;
}

void ConfigureFileDialog(QFileDialog &dialog, const FileDialogRequest &request) {
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    if (request.save)
        dialog.setFileMode(QFileDialog::AnyFile);
    else if (request.multiSelect)
        dialog.setFileMode(QFileDialog::ExistingFiles);
    else
        dialog.setFileMode(request.fileMustExist ? QFileDialog::ExistingFile
                                                 : QFileDialog::AnyFile);

    const QStringList filters = QtNameFilters(request.filters);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        // An index outside the list preselects the first filter.
        int index = request.filterIndex >= 1 && request.filterIndex <= filters.size()
                        ? request.filterIndex - 1
                        : 0;
        dialog.selectNameFilter(filters.at(index));
    }

    QString suffix = ToQt(request.defaultExt);
    if (suffix.startsWith(QLatin1Char('.')))
        suffix.remove(0, 1);
    dialog.setDefaultSuffix(suffix);
    dialog.setOption(QFileDialog::DontConfirmOverwrite, !(request.save && request.overwritePrompt));
    if (!request.initDir.empty())
        dialog.setDirectory(ToQt(request.initDir));
    if (!request.title.empty())
        dialog.setWindowTitle(ToQt(request.title));
    if (!request.fileName.empty())
        dialog.selectFile(ToQt(request.fileName));
}

FileDialogAnswer ReadFileDialog(const QFileDialog &dialog, const FileDialogRequest &request) {
    FileDialogAnswer answer;
    answer.accepted = true;
    const QStringList files = dialog.selectedFiles();
    if (!files.isEmpty())
        answer.path = QDir::fromNativeSeparators(files.first()).toStdString();
    const QStringList filters = dialog.nameFilters();
    int index = filters.indexOf(dialog.selectedNameFilter());
    answer.filterIndex = index >= 0 ? index + 1 : request.filterIndex;
    // Qt's dialog has no read-only choice: the box stays as the caller set it.
    answer.readOnly = request.readOnly;
    return answer;
}

FileDialogAnswer QtDialogBackend::FileDialog(const FileDialogRequest &request) {
    QFileDialog dialog(request.owner);
    ConfigureFileDialog(dialog, request);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return ReadFileDialog(dialog, request);
}

} // namespace tambrel
