#pragma once
// Shared set-up of the window tests: a scripted toolkit and scripted dialogs
// installed for each test, a temporary folder as the program folder, the real
// main window, and small picture builders on the project's ILBM writer.
#include "app/tambrel_main.h"
#include "app/toolkit.h"
#include "dialogs/scripted_dialog_backend.h"
#include "tests/support/ilbm_writer.h"

#include <QColor>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tambrel {
class Frm_Batch_Conversion;
}

namespace tambrel::guitest {

inline const QColor kWhite(255, 255, 255);
inline constexpr const char *kOverwriteQuestion = "WARNING - File Exists, Overwrite it ?";

// Processes events for `ms` milliseconds.
void Wait(int ms);

std::string ReadText(const std::string &path);
void WriteText(const std::string &path, const std::string &text);
bool Exists(const std::string &path);
void MakeFolder(const std::string &path);
// Names ending in ".bmp" in `folder` (files and folders), sorted.
std::vector<std::string> Bitmaps(const std::string &folder);
bool AllWhite(const QImage &img);

// A picture with four coloured quadrants (palette entries 1..4 of a 3-plane
// palette) so positions in the drawing can be told apart.
struct QuadPicture {
    test::ChunkyImage Image;
    std::vector<std::uint32_t> Colours;
    // The colour a picture pixel shows.
    std::uint32_t ColourAt(int x, int y) const { return Colours[Image.At(x, y)]; }
};
QuadPicture MakeQuadPicture(int width, int height);
// Writes it as a FORM ILBM (ByteRun1 when `compressed`); optional CAMG.
void WriteQuadPicture(const std::string &path, const QuadPicture &pic, bool compressed = true,
                      std::optional<std::uint32_t> modeId = std::nullopt);
// A FORM ILBM with BMHD and CMAP but no BODY.
void WriteNoBodyPicture(const std::string &path, int width, int height, int planes = 3);

QColor Rgb(std::uint32_t colour);

// A core writer: the BMP at the picture's size, or one of the exports.
using Writer = void (*)(const IFF_Picture &, const std::string &);
void WriteBitmap(const IFF_Picture &pic, const std::string &path);

// Checks a Yes/No question box.
void ExpectQuestion(const ScriptedToolkit::Shown &m, const std::string &text,
                    const std::string &title);

class GuiTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Builds the main window with the test's folders (program folder = Dir()).
    TambrelMain &Main();
    void MakeMain(const MainWindowOptions &options);
    std::string Dir() const { return dir_.path().toStdString(); }
    std::string Path(const std::string &name) const { return Dir() + "/" + name; }
    // Loads through File > Load IFF with the dialog answering `path`.
    void LoadViaMenu(const std::string &path);
    void Trigger(const char *actionName);
    // Message texts shown so far.
    std::vector<std::string> MessageTexts() const;
    // Opens the batch window (File > Convert Folder), listing `folder` if given.
    Frm_Batch_Conversion &OpenBatch(const std::string &folder = {});
    // Sends a drag enter and a drop of local files (or other URLs); returns
    // whether each was accepted.
    std::pair<bool, bool> Drop(const std::vector<std::string> &paths);
    // Expects `path` to hold what `write` makes of the current picture (the
    // core's own tests check those files byte for byte).
    void ExpectWrittenBy(const std::string &path, Writer write = WriteBitmap);

    ScriptedToolkit tk_;
    ScriptedDialogBackend dialogs_;
    QTemporaryDir dir_;
    QTemporaryDir config_;
    std::unique_ptr<TambrelMain> main_;
};

} // namespace tambrel::guitest
