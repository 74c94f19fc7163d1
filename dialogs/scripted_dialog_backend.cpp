#include "dialogs/scripted_dialog_backend.h"

#include <stdexcept>

namespace tambrel {

void ScriptedDialogBackend::QueueFileAnswer(bool accepted, std::string path,
                                            std::int32_t filterIndex, bool readOnly) {
    fileAnswers_.push_back({accepted, std::move(path), filterIndex, readOnly});
}

void ScriptedDialogBackend::Unexpected(const std::string &what) {
    unexpected_.push_back(what);
    throw std::logic_error("unexpected dialog without a scripted answer: " + what);
}

FileDialogAnswer ScriptedDialogBackend::FileDialog(const FileDialogRequest &request) {
    fileRequests_.push_back(request);
    if (fileAnswers_.empty())
        Unexpected(request.save ? "save file dialog" : "open file dialog");
    FileDialogAnswer answer = std::move(fileAnswers_.front());
    fileAnswers_.pop_front();
    return answer;
}

} // namespace tambrel
