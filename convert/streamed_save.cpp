#include "convert/streamed_save.h"

#include "common/errors.h"

#include <new>

namespace tambrel {

std::unique_ptr<StreamedSave> StreamedSave::Open(const std::string &name, int saveMode,
                                                 const OutputRules &rules, OutputFormat format,
                                                 PngLevel level) {
    SaveOutcome outcome{SaveOutcome::Written, {}};
    if (!MayWrite(name, saveMode, outcome)) {
        return nullptr;
    }
    try {
        return std::unique_ptr<StreamedSave>(
            new StreamedSave(name, saveMode, rules, format, level));
    } catch (const TambrelError &) {
        return nullptr;
    } catch (const std::bad_alloc &) {
        return nullptr;
    }
}

bool StreamedSave::Complete(const IFF_Picture &pic, int loaded) {
    if (loaded != 1) {
        return false;
    }
    try {
        return writer_.Finish(pic);
    } catch (...) {
        failure_ = std::current_exception();
        return true;
    }
}

bool StreamedSave::RowsStreamed(const IFF_Picture &pic) {
    // A load that streams its rows empties the buffers it kept them in.
    return pic.HasBody() && pic.PixelColours.Empty();
}

ConvertResult StreamedSave::Save(const IFF_Picture &pic) {
    if (failure_) {
        std::rethrow_exception(failure_);
    }
    ConvertResult result{ConvertResult::SaveDone, CommitByMode(out_, saveMode_), {}};
    result.reason = ConvertFailureReason(result, pic, name_, saveMode_, format_);
    return result;
}

} // namespace tambrel
