#pragma once
// File dialogs answered from a script, for tests: each dialog takes the next
// queued answer and every request is recorded, so a test can check what
// the program asked for (filter, default extension, overwrite prompt ...).
// A dialog with no queued answer is a fault of the test: it is recorded in
// UnexpectedDialogs() and std::logic_error is thrown.
#include "dialogs/dialog_backend.h"

#include <deque>
#include <string>
#include <vector>

namespace tambrel {

class ScriptedDialogBackend : public DialogBackend {
  public:
    // Queue the answer to the next file dialog (open or save).
    void QueueFileAnswer(bool accepted, std::string path, std::int32_t filterIndex = 1,
                         bool readOnly = false);

    const std::vector<FileDialogRequest> &FileRequests() const { return fileRequests_; }
    // One line per dialog that was asked for without a queued answer.
    const std::vector<std::string> &UnexpectedDialogs() const { return unexpected_; }
    // Queued answers not used yet.
    std::size_t PendingAnswers() const { return fileAnswers_.size(); }

    FileDialogAnswer FileDialog(const FileDialogRequest &request) override;

  private:
    [[noreturn]] void Unexpected(const std::string &what);

    std::deque<FileDialogAnswer> fileAnswers_;
    std::vector<FileDialogRequest> fileRequests_;
    std::vector<std::string> unexpected_;
};

} // namespace tambrel
