#pragma once
// Dialogs answered from a script, for tests: each dialog takes the next queued
// answer of its kind and every request is recorded, so a test can check what
// the program asked for (filter, default extension, overwrite prompt ...).
// A dialog with no queued answer is a fault of the test: it is recorded in
// UnexpectedDialogs() and std::logic_error is thrown.
#include "dialogs/dialog_backend.h"

#include <array>
#include <deque>
#include <string>
#include <vector>

namespace tambrel {

class ScriptedDialogBackend : public DialogBackend {
  public:
    ScriptedDialogBackend();

    // Queue the answer to the next file dialog (open or save).
    void QueueFileAnswer(bool accepted, std::string path, std::int32_t filterIndex = 1,
                         bool readOnly = false);
    // Queue the answer to the next colour dialog; custom colours stay as sent.
    void QueueColourAnswer(bool accepted, std::uint32_t colour = 0);
    void QueueColourAnswer(const ColourDialogAnswer &answer);
    void QueueFontAnswer(const FontDialogAnswer &answer);
    void QueuePrintAnswer(const PrintDialogAnswer &answer);
    void QueuePageSetupAnswer(const PageSetupAnswer &answer);

    // The desktop colours SystemColour() reports (defaults: a fixed table).
    void SetSystemColour(int index, std::uint32_t colour);
    void SetTwipsPerPixelY(std::int32_t twips) { twipsPerPixelY_ = twips; }

    const std::vector<FileDialogRequest> &FileRequests() const { return fileRequests_; }
    const std::vector<ColourDialogRequest> &ColourRequests() const { return colourRequests_; }
    const std::vector<FontDialogRequest> &FontRequests() const { return fontRequests_; }
    const std::vector<PrintDialogRequest> &PrintRequests() const { return printRequests_; }
    const std::vector<PageSetupRequest> &PageSetupRequests() const { return pageRequests_; }
    // One line per dialog that was asked for without a queued answer.
    const std::vector<std::string> &UnexpectedDialogs() const { return unexpected_; }
    // Queued answers not used yet (all kinds together).
    std::size_t PendingAnswers() const;

    FileDialogAnswer FileDialog(const FileDialogRequest &request) override;
    ColourDialogAnswer ColourDialog(const ColourDialogRequest &request) override;
    FontDialogAnswer FontDialog(const FontDialogRequest &request) override;
    PrintDialogAnswer PrintDialog(const PrintDialogRequest &request) override;
    PageSetupAnswer PageSetupDialog(const PageSetupRequest &request) override;
    std::uint32_t SystemColour(int index) override;
    std::int32_t TwipsPerPixelY() override { return twipsPerPixelY_; }

  private:
    [[noreturn]] void Unexpected(const std::string &what);

    std::deque<FileDialogAnswer> fileAnswers_;
    std::deque<ColourDialogAnswer> colourAnswers_;
    std::deque<bool> colourKeepsTable_;
    std::deque<FontDialogAnswer> fontAnswers_;
    std::deque<PrintDialogAnswer> printAnswers_;
    std::deque<PageSetupAnswer> pageAnswers_;
    std::vector<FileDialogRequest> fileRequests_;
    std::vector<ColourDialogRequest> colourRequests_;
    std::vector<FontDialogRequest> fontRequests_;
    std::vector<PrintDialogRequest> printRequests_;
    std::vector<PageSetupRequest> pageRequests_;
    std::vector<std::string> unexpected_;
    std::array<std::uint32_t, 16> systemColours_{};
    std::int32_t twipsPerPixelY_ = 15;
};

} // namespace tambrel
