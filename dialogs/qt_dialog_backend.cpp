#include "dialogs/qt_dialog_backend.h"

#include <QApplication>
#include <QColorDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QGuiApplication>
#include <QPageLayout>
#include <QPageSetupDialog>
#include <QPageSize>
#include <QPalette>
#include <QPrintDialog>
#include <QPrinter>
#include <QScreen>

#include <algorithm>

namespace tambrel {

namespace {

QString ToQt(const std::string &text) {
    return QString::fromStdString(text);
}

QColor ToQColor(std::uint32_t rgb) {
    return QColor(QRgb(rgb & 0xFFFFFFu));
}

std::uint32_t FromQColor(const QColor &c) {
    return c.rgb() & 0xFFFFFFu;
}

// The usual printer-settings paper codes for the common sizes; anything else
// is reported as a user-defined size.
std::int16_t PaperCode(QPageSize::PageSizeId id) {
    switch (id) {
    case QPageSize::Letter:
        return 1;
    case QPageSize::Tabloid:
        return 3;
    case QPageSize::Ledger:
        return 4;
    case QPageSize::Legal:
        return 5;
    case QPageSize::Executive:
        return 7;
    case QPageSize::A3:
        return 8;
    case QPageSize::A4:
        return 9;
    case QPageSize::A5:
        return 11;
    case QPageSize::JisB4:
        return 12;
    case QPageSize::JisB5:
        return 13;
    default:
        return 256;
    }
}

PrinterSettings SettingsOf(const QPrinter &printer) {
    PrinterSettings s;
    s.Copies = static_cast<std::int16_t>(std::clamp(printer.copyCount(), 1, 32767));
    s.Orientation = printer.pageLayout().orientation() == QPageLayout::Landscape ? 2 : 1;
    s.PaperSize = PaperCode(printer.pageLayout().pageSize().id());
    s.PrintQuality = static_cast<std::int16_t>(std::clamp(printer.resolution(), 1, 32767));
    s.Collate = printer.collateCopies() ? 1 : 0;
    return s;
}

} // namespace

QStringList QtNameFilters(const std::vector<FilterEntry> &filters) {
    QStringList list;
    for (const FilterEntry &entry : filters) {
        QString pattern = ToQt(entry.pattern);
        pattern.replace(QLatin1Char(';'), QLatin1Char(' '));
        list << ToQt(entry.description) + QStringLiteral(" (") + pattern.simplified() +
                    QStringLiteral(")");
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

ColourDialogAnswer QtDialogBackend::ColourDialog(const ColourDialogRequest &request) {
    for (int i = 0; i < 16 && i < QColorDialog::customCount(); ++i)
        QColorDialog::setCustomColor(i, ToQColor(request.customColours[i]));
    QColorDialog dialog(ToQColor(request.colour), request.owner);
    ColourDialogAnswer answer;
    answer.accepted = dialog.exec() == QDialog::Accepted;
    if (answer.accepted)
        answer.colour = FromQColor(dialog.selectedColor());
    answer.customColours = request.customColours;
    for (int i = 0; i < 16 && i < QColorDialog::customCount(); ++i)
        answer.customColours[i] = FromQColor(QColorDialog::customColor(i));
    return answer;
}

FontDialogAnswer QtDialogBackend::FontDialog(const FontDialogRequest &request) {
    QFont font(ToQt(request.faceName));
    if (request.pointSize10 > 0)
        font.setPointSizeF(request.pointSize10 / 10.0);
    int weight = request.weight > 0 ? std::clamp(request.weight, 1, 1000) : 400;
    font.setWeight(static_cast<QFont::Weight>(weight));
    font.setItalic(request.italic);
    font.setUnderline(request.underline);
    font.setStrikeOut(request.strikeOut);

    QFontDialog dialog(font, request.owner);
    FontDialogAnswer answer;
    answer.accepted = dialog.exec() == QDialog::Accepted;
    if (!answer.accepted)
        return answer;
    const QFont chosen = dialog.selectedFont();
    answer.flags = request.flags;
    answer.colour = request.colour; // Qt's font dialog has no colour choice
    answer.weight = chosen.weight();
    answer.fontType = chosen.weight() >= QFont::Bold ? kBoldFontType : 0x400;
    answer.italic = chosen.italic();
    answer.underline = chosen.underline();
    answer.strikeOut = chosen.strikeOut();
    answer.pointSize10 = RoundHalfEven(chosen.pointSizeF() * 10.0);
    answer.faceName = chosen.family().toStdString();
    return answer;
}

void ConfigurePrintDialog(QPrintDialog &dialog, QPrinter &printer,
                          const PrintDialogRequest &request) {
    printer.setCollateCopies((request.flags & kPdCollate) != 0);
    QAbstractPrintDialog::PrintDialogOptions options = QAbstractPrintDialog::PrintCollateCopies;
    if (!(request.flags & kPdNoPageNums))
        options |= QAbstractPrintDialog::PrintPageRange;
    if (!(request.flags & kPdNoSelection))
        options |= QAbstractPrintDialog::PrintSelection;
    if (!(request.flags & (kPdHidePrintToFile | kPdDisablePrintToFile)))
        options |= QAbstractPrintDialog::PrintToFile;
    dialog.setOptions(options);
    const int minPage = std::max(1, request.minPage);
    const int maxPage = std::max(minPage, request.maxPage);
    dialog.setMinMax(minPage, maxPage);
    // A "to" page of -1 means up to the last page.
    const int from = std::clamp(request.fromPage, minPage, maxPage);
    const int to = request.toPage < 0 ? maxPage : std::clamp(request.toPage, from, maxPage);
    dialog.setFromTo(from, to);
    if (request.flags & kPdPageNums)
        dialog.setPrintRange(QAbstractPrintDialog::PageRange);
    else if (request.flags & kPdSelection)
        dialog.setPrintRange(QAbstractPrintDialog::Selection);
    else
        dialog.setPrintRange(QAbstractPrintDialog::AllPages);
}

PrintDialogAnswer ReadPrintDialog(const std::shared_ptr<QPrinter> &printer,
                                  const PrintDialogRequest &request) {
    PrintDialogAnswer answer;
    answer.accepted = true;
    std::int32_t flags = request.flags & ~(kPdPageNums | kPdSelection | kPdPrintToFile);
    if (printer->printRange() == QPrinter::PageRange)
        flags |= kPdPageNums;
    else if (printer->printRange() == QPrinter::Selection)
        flags |= kPdSelection;
    if (!printer->outputFileName().isEmpty())
        flags |= kPdPrintToFile;
    answer.flags = flags;
    // Pages come back as chosen for a page range, otherwise as they were sent.
    const bool pages = printer->printRange() == QPrinter::PageRange;
    answer.fromPage = pages ? printer->fromPage() : request.fromPage;
    answer.toPage = pages ? printer->toPage() : request.toPage;
    answer.settings = SettingsOf(*printer);
    answer.printer = printer;
    return answer;
}

PrintDialogAnswer QtDialogBackend::PrintDialog(const PrintDialogRequest &request) {
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    QPrintDialog dialog(printer.get(), request.owner);
    ConfigurePrintDialog(dialog, *printer, request);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return ReadPrintDialog(printer, request);
}

namespace {

struct MarginUnits {
    QPageLayout::Unit unit;
    double scale;
};

MarginUnits UnitsOf(const PageSetupRequest &request) {
    if (request.flags & kPsdInHundredthsOfMillimeters)
        return {QPageLayout::Millimeter, 100.0};
    return {QPageLayout::Inch, 1000.0};
}

} // namespace

void ApplyPageSetupRequest(QPrinter &printer, const PageSetupRequest &request) {
    const MarginUnits u = UnitsOf(request);
    auto toMargins = [&u](const PageMargins &m) {
        return QMarginsF(m.left / u.scale, m.top / u.scale, m.right / u.scale, m.bottom / u.scale);
    };
    QPageLayout layout = printer.pageLayout();
    layout.setUnits(u.unit);
    layout.setMinimumMargins(toMargins(request.minMargins));
    layout.setMargins(toMargins(request.margins)); // refused when outside the page: kept as is
    printer.setPageLayout(layout);
}

PageSetupAnswer ReadPageSetup(const QPrinter &printer, const PageSetupRequest &request) {
    const MarginUnits u = UnitsOf(request);
    auto fromMargins = [&u](const QMarginsF &m) {
        return PageMargins{RoundHalfEven(m.left() * u.scale), RoundHalfEven(m.top() * u.scale),
                           RoundHalfEven(m.right() * u.scale), RoundHalfEven(m.bottom() * u.scale)};
    };
    PageSetupAnswer answer;
    answer.accepted = true;
    QPageLayout chosen = printer.pageLayout();
    chosen.setUnits(u.unit);
    answer.margins = fromMargins(chosen.margins());
    answer.minMargins = fromMargins(chosen.minimumMargins());
    answer.settings = SettingsOf(printer);
    return answer;
}

PageSetupAnswer QtDialogBackend::PageSetupDialog(const PageSetupRequest &request) {
    QPrinter printer;
    ApplyPageSetupRequest(printer, request);
    QPageSetupDialog dialog(&printer, request.owner);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return ReadPageSetup(printer, request);
}

std::uint32_t QtDialogBackend::SystemColour(int index) {
    static constexpr QPalette::ColorRole kRoles[16] = {QPalette::Button,
                                                       QPalette::Dark,
                                                       QPalette::Highlight,
                                                       QPalette::Mid,
                                                       QPalette::Window,
                                                       QPalette::Base,
                                                       QPalette::Shadow,
                                                       QPalette::WindowText,
                                                       QPalette::Text,
                                                       QPalette::HighlightedText,
                                                       QPalette::Window,
                                                       QPalette::Window,
                                                       QPalette::Dark,
                                                       QPalette::Highlight,
                                                       QPalette::HighlightedText,
                                                       QPalette::Button};
    if (index < 0 || index > 15)
        return 0;
    return FromQColor(QGuiApplication::palette().color(QPalette::Active, kRoles[index]));
}

std::int32_t QtDialogBackend::TwipsPerPixelY() {
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInchY() : 96.0;
    return dpi > 0 ? std::max(1, RoundHalfEven(1440.0 / dpi)) : 15;
}

} // namespace tambrel
