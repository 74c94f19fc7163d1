#include "dialogs/toolkit.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

namespace tambrel {

namespace {
QtToolkit &QtInstance() {
    static QtToolkit instance;
    return instance;
}
Toolkit *g_toolkit = nullptr;
} // namespace

Toolkit &Tk() {
    return g_toolkit ? *g_toolkit : QtInstance();
}

void SetToolkit(Toolkit *tk) {
    g_toolkit = tk;
}

int QtToolkit::MessageBox(const std::string &text, int buttons, int icon,
                          const std::string &title) {
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(QString::fromStdString(title.empty() ? kProgramTitle : title));
    box.setText(QString::fromStdString(text));
    box.setIcon(icon == MbQuestion   ? QMessageBox::Question
                : icon == MbCritical ? QMessageBox::Critical
                                     : QMessageBox::NoIcon);
    if (buttons == MbYesNo) {
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
    }
    const int pressed = box.exec();
    if (buttons == MbYesNo)
        return pressed == QMessageBox::No ? IdNo : IdYes;
    return IdOk;
}

void QtToolkit::Yield() {
    QCoreApplication::processEvents();
}

void QtToolkit::ShellOpen(const std::string &address) {
    QDesktopServices::openUrl(QUrl(QString::fromStdString(address)));
}

std::string QtToolkit::ApplicationFolder() {
    return QCoreApplication::applicationDirPath().toStdString();
}

void QtToolkit::EndProgram() {
    QCoreApplication::exit(0);
}

int ScriptedToolkit::UnexpectedCount() const {
    int n = 0;
    for (const auto &m : Messages)
        n += m.Unexpected ? 1 : 0;
    return n;
}

void ScriptedToolkit::ClearRecords() {
    Messages.clear();
    Opened.clear();
    Yields = 0;
    EndCount = 0;
}

int ScriptedToolkit::MessageBox(const std::string &text, int buttons, int icon,
                                const std::string &title) {
    Shown shown{text, title, buttons, icon, 0, false};
    if (answers_.empty()) {
        shown.Unexpected = true;
        shown.Answer = buttons == MbYesNo ? IdNo : IdOk;
    } else {
        shown.Answer = answers_.front();
        answers_.pop_front();
    }
    Messages.push_back(shown);
    return shown.Answer;
}

void ScriptedToolkit::Yield() {
    ++Yields;
    if (OnYield)
        OnYield();
    if (ProcessEvents)
        QCoreApplication::processEvents();
}

} // namespace tambrel
