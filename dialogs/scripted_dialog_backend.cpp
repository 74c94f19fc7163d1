#include "dialogs/scripted_dialog_backend.h"

#include <stdexcept>

namespace tambrel {

namespace {
// A fixed, recognisable desktop palette for tests (0x00RRGGBB).
constexpr std::array<std::uint32_t, 16> kDefaultSystemColours = {
    0xC8C8C8, 0x3A6EA5, 0x0A246A, 0x808080, 0xD4D0C8, 0xFFFFFF, 0x000000, 0x000001,
    0x000002, 0xFFFFFE, 0xD4D0C9, 0xD4D0CA, 0x808081, 0x0A246B, 0xFFFFFD, 0xD4D0CB};

template <typename T> T TakeFront(std::deque<T> &queue) {
    T value = std::move(queue.front());
    queue.pop_front();
    return value;
}
} // namespace

ScriptedDialogBackend::ScriptedDialogBackend() : systemColours_(kDefaultSystemColours) {}

void ScriptedDialogBackend::QueueFileAnswer(bool accepted, std::string path,
                                            std::int32_t filterIndex, bool readOnly) {
    fileAnswers_.push_back({accepted, std::move(path), filterIndex, readOnly});
}

void ScriptedDialogBackend::QueueColourAnswer(bool accepted, std::uint32_t colour) {
    ColourDialogAnswer answer;
    answer.accepted = accepted;
    answer.colour = colour;
    colourAnswers_.push_back(answer);
    colourKeepsTable_.push_back(true);
}

void ScriptedDialogBackend::QueueColourAnswer(const ColourDialogAnswer &answer) {
    colourAnswers_.push_back(answer);
    colourKeepsTable_.push_back(false);
}

void ScriptedDialogBackend::QueueFontAnswer(const FontDialogAnswer &answer) {
    fontAnswers_.push_back(answer);
}

void ScriptedDialogBackend::QueuePrintAnswer(const PrintDialogAnswer &answer) {
    printAnswers_.push_back(answer);
}

void ScriptedDialogBackend::QueuePageSetupAnswer(const PageSetupAnswer &answer) {
    pageAnswers_.push_back(answer);
}

void ScriptedDialogBackend::SetSystemColour(int index, std::uint32_t colour) {
    if (index >= 0 && index < 16)
        systemColours_[index] = colour;
}

std::size_t ScriptedDialogBackend::PendingAnswers() const {
    return fileAnswers_.size() + colourAnswers_.size() + fontAnswers_.size() +
           printAnswers_.size() + pageAnswers_.size();
}

void ScriptedDialogBackend::Unexpected(const std::string &what) {
    unexpected_.push_back(what);
    throw std::logic_error("unexpected dialog without a scripted answer: " + what);
}

FileDialogAnswer ScriptedDialogBackend::FileDialog(const FileDialogRequest &request) {
    fileRequests_.push_back(request);
    if (fileAnswers_.empty())
        Unexpected(request.save ? "save file dialog" : "open file dialog");
    return TakeFront(fileAnswers_);
}

ColourDialogAnswer ScriptedDialogBackend::ColourDialog(const ColourDialogRequest &request) {
    colourRequests_.push_back(request);
    if (colourAnswers_.empty())
        Unexpected("colour dialog");
    ColourDialogAnswer answer = TakeFront(colourAnswers_);
    if (TakeFront(colourKeepsTable_))
        answer.customColours = request.customColours;
    return answer;
}

FontDialogAnswer ScriptedDialogBackend::FontDialog(const FontDialogRequest &request) {
    fontRequests_.push_back(request);
    if (fontAnswers_.empty())
        Unexpected("font dialog");
    return TakeFront(fontAnswers_);
}

PrintDialogAnswer ScriptedDialogBackend::PrintDialog(const PrintDialogRequest &request) {
    printRequests_.push_back(request);
    if (printAnswers_.empty())
        Unexpected("print dialog");
    return TakeFront(printAnswers_);
}

PageSetupAnswer ScriptedDialogBackend::PageSetupDialog(const PageSetupRequest &request) {
    pageRequests_.push_back(request);
    if (pageAnswers_.empty())
        Unexpected("page set-up dialog");
    return TakeFront(pageAnswers_);
}

std::uint32_t ScriptedDialogBackend::SystemColour(int index) {
    return index >= 0 && index < 16 ? systemColours_[index] : 0;
}

} // namespace tambrel
