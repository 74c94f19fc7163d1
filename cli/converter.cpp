// tambrel-convert: command line, input listing, the worker pool and the
// per-file conversion. Each file is decoded into its own IFF_Picture, so the
// pictures never share palette entries or buffers, whatever the job count.
#include "cli/converter.h"

#include "cli/options.h"

#include "common/declarations.h"
#include "common/errors.h"
#include "common/text.h"
#include "common/version.h"
#include "convert/convert.h"
#include "convert/export_kinds.h"
#include "convert/picture_list.h"
#include "convert/streamed_save.h"
#include "decoder/iff_loader.h"
#include "decoder/iff_picture.h"
#include "decoder/memory_budget.h"
#include "decoder/picture_info.h"
#include "output/exports.h"
#include "output/file_functions.h"

#include <algorithm>
#include <condition_variable>
#include <filesystem>
#include <iostream>
#include <memory>
#include <mutex>
#include <new>
#include <optional>
#include <sstream>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace tambrel::cli {

namespace fs = std::filesystem;

namespace {

constexpr const char *kProgram = "tambrel-convert";
constexpr unsigned kJobsPerProcessor = 4;     // the most jobs run at once, per processor
constexpr std::uint32_t kMostPictures = 1000; // the most pictures of a file --all-pictures writes

// ---- Inputs.

// One entry of the work list: a file to convert, or a path that already failed
// while the inputs were listed (reported in its place in the input order).
struct Input {
    std::string path;
    std::string listError; // non-empty: report this and convert nothing
};

std::string JoinPath(const std::string &folder, const std::string &name) {
    if (!folder.empty() && folder.back() == '/') {
        return folder + name;
    }
    return folder + "/" + name;
}

std::string SystemReason(const std::error_code &ec) {
    std::string text = ec.message();
    if (!text.empty()) {
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    }
    return text;
}

// Lists the inputs in command-line order; a folder contributes its picture
// files (see ListPictureFiles), sorted by name, not recursing.
std::vector<Input> ListInputs(const std::vector<std::string> &paths, bool &sawFolder,
                              std::vector<std::string> &notes) {
    std::vector<Input> inputs;
    for (const std::string &path : paths) {
        std::error_code ec;
        const fs::file_status st = fs::status(path, ec);
        if (ec || !fs::exists(st)) {
            if (ec && ec != std::errc::no_such_file_or_directory) {
                inputs.push_back({path, SystemReason(ec)});
            } else {
                inputs.push_back({path, "no such file or folder"});
            }
            continue;
        }
        if (fs::is_directory(st)) {
            sawFolder = true;
            const PictureListing listing = ListPictureFiles(path);
            if (listing.error) {
                inputs.push_back({path, "cannot list the folder: " + SystemReason(listing.error)});
                continue;
            }
            if (listing.names.empty()) {
                notes.push_back(QuotedName(path) + ": no pictures in this folder");
            }
            for (const std::string &name : listing.names) {
                inputs.push_back({JoinPath(path, name), ""});
            }
            continue;
        }
        if (!fs::is_regular_file(st)) {
            inputs.push_back({path, "not a regular file"});
            continue;
        }
        inputs.push_back({path, ""});
    }
    return inputs;
}

// ---- One file.

enum class Outcome { Converted, Skipped, Failed };

struct FileResult {
    std::string out; // --info and --log lines
    std::string err; // failures (and, with --verbose, what was written)
    Outcome outcome = Outcome::Converted;
};

// `who`: the quoted path, or "picture K of PATH" for a later picture of a CAT or LIST.
void FailAs(FileResult &res, const std::string &who, const std::string &reason) {
    res.err += who + ": " + reason + "\n";
    res.outcome = Outcome::Failed;
}

void Fail(FileResult &res, const std::string &path, const std::string &reason) {
    FailAs(res, QuotedName(path), reason);
}

class Converter {
  public:
    explicit Converter(const Options &opt) : opt_(opt) {}

    // Step 1, in any order and in parallel: load the file into `pic` and
    // collect the printed lines. Returns false when there is nothing to save.
    // Picture `index` of the file; 16-bit samples are kept only when a PNG,
    // which can hold them, is written (a BMP or an export takes 8 bits).
    DecodeLimits Limits(std::uint32_t index) const {
        DecodeLimits limits;
        limits.PictureIndex = index;
        limits.WideSamples = opt_.format == OutputFormat::Png && !opt_.noBmp;
        return limits;
    }

    // The BMP (or PNG) alone is written while the picture decodes, into
    // `stream`, and named in step 2.
    bool Load(const Input &in, IFF_Picture &pic, FileResult &res,
              std::unique_ptr<StreamedSave> &stream) const {
        if (!in.listError.empty()) {
            Fail(res, in.path, in.listError);
            return false;
        }
        int loaded = 0;
        std::string failure;
        try {
            // The exports need the whole picture, and the log tells of a whole decode.
            const bool streams =
                !opt_.noBmp && !opt_.log && !opt_.rgbFile && !opt_.lutFile && !opt_.paletteFile;
            loaded = LoadWritingRows(in, pic, opt_.log, Limits(0),
                                     streams ? BitmapName(in.path) : "", stream);
        } catch (const TambrelError &e) {
            failure = e.Description;
        } catch (const std::bad_alloc &) {
            failure = OutOfMemoryReason("decode the picture");
        }
        if (loaded == 1 && opt_.info) {
            // The panel's file name is the user's text: quoted like every other name.
            for (const auto &[label, value] : ImageInfoLines(pic)) {
                res.out += label + " " + (label == "File:" ? QuotedName(value) : value) + "\n";
            }
        }
        if (opt_.log) {
            // Whatever the decoder logged, also when it stopped with an error.
            for (std::size_t i = 2; i < pic.DebugLog.size(); ++i) {
                res.out += pic.DebugLog[i] + "\n";
            }
        }
        if (!failure.empty()) {
            Fail(res, in.path, failure);
            return false;
        }
        if (loaded != 1) {
            Fail(res, in.path, NotPictureReason());
            return false;
        }
        return true;
    }

    // Loads picture `limits.PictureIndex` of the file into `pic`. With a
    // `bmpName`, its BMP (or PNG) is written into `stream` as the rows are
    // decoded, so no whole picture is held; a picture that cannot be written
    // that way (`stream` then empty) is decoded whole for the ordinary save.
    int LoadWritingRows(const Input &in, IFF_Picture &pic, bool log, const DecodeLimits &limits,
                        const std::string &bmpName, std::unique_ptr<StreamedSave> &stream) const {
        if (!bmpName.empty()) {
            stream =
                StreamedSave::Open(bmpName, opt_.saveMode, OutputRules{in.path, false, opt_.alpha},
                                   opt_.format, opt_.pngLevel);
        }
        int loaded = LoadIffPicture(pic, in.path, log, limits, stream ? &stream->Sink() : nullptr);
        if (stream && !stream->Complete(pic, loaded)) {
            const bool again = StreamedSave::RowsStreamed(pic);
            stream.reset();
            if (again) {
                loaded = LoadIffPicture(pic, in.path, log, limits);
            }
        }
        return loaded;
    }

    // Step 2, in input order: write the BMP and the exports.
    void Save(const Input &in, const IFF_Picture &pic, FileResult &res,
              StreamedSave *stream) const {
        if (!opt_.noBmp) {
            SaveBitmap(in, QuotedName(in.path), BitmapName(in.path), pic, res, stream);
            if (pic.PictureCount > 1 && !opt_.allPictures) {
                res.err += QuotedName(in.path) + ": holds " + std::to_string(pic.PictureCount) +
                           " pictures, the first written (--all-pictures writes them all)\n";
            }
        }
        WriteExport(in, pic, res, opt_.rgbFile, "raw 32-bit export", ExportKind::Colours);
        WriteExport(in, pic, res, opt_.lutFile, "raw 8-bit export", ExportKind::Indices);
        WriteExport(in, pic, res, opt_.paletteFile, "palette export", ExportKind::Palette);
    }

    // Step 3 with --all-pictures, in input order after step 2: the pictures
    // after the first of a CAT or LIST of `count`, each loaded on its own (its
    // buffers claimed from `budget` as picture `order`, freed before the next)
    // and written as NAME-2.bmp, NAME-3.bmp ... the way the first is.
    void SaveOthers(const Input &in, std::uint32_t count, FileResult &res, MemoryBudget &budget,
                    std::size_t order) const {
        if (!opt_.allPictures || opt_.noBmp) {
            return;
        }
        // Each picture is a load of the whole file on its own: a group of
        // many tiny FORMs would otherwise take as long as their number squared.
        if (count > kMostPictures) {
            res.err += QuotedName(in.path) + ": holds " + std::to_string(count) +
                       " pictures, the first " + std::to_string(kMostPictures) + " written\n";
        }
        for (std::uint32_t k = 1; k < std::min(count, kMostPictures); ++k) {
            const std::string who =
                "picture " + std::to_string(k + 1) + " of " + QuotedName(in.path);
            auto pic = std::make_unique<IFF_Picture>();
            const std::string first = BitmapName(in.path);
            const std::size_t dot = first.rfind('.');
            const std::string name =
                first.substr(0, dot) + "-" + std::to_string(k + 1) + first.substr(dot);
            std::unique_ptr<StreamedSave> stream;
            int loaded = 0;
            std::string failure;
            try {
                const BudgetScope scope(budget, order);
                loaded = LoadWritingRows(in, *pic, false, Limits(k), name, stream);
            } catch (const TambrelError &e) {
                failure = e.Description;
            } catch (const std::bad_alloc &) {
                failure = OutOfMemoryReason("decode the picture");
            }
            if (loaded == 1) {
                SaveBitmap(in, who, name, *pic, res, stream.get());
            } else {
                FailAs(res, who, failure.empty() ? NotPictureReason() : failure);
            }
            pic.reset();
            budget.Release(order);
        }
    }

  private:
    std::string BitmapName(const std::string &source) const {
        const std::string beside = OutputNameFor(source, opt_.format);
        if (!opt_.outDir) {
            return beside;
        }
        return JoinPath(*opt_.outDir, GetFileNameFromPath(beside));
    }

    // Writes `pic` as `bmpName` (or finishes the streamed file); `who` names
    // the picture in the messages.
    void SaveBitmap(const Input &in, const std::string &who, const std::string &bmpName,
                    const IFF_Picture &pic, FileResult &res, StreamedSave *stream) const {
        ConvertResult result;
        try {
            result = stream ? stream->Save(pic)
                            : SaveConverted(pic, bmpName, opt_.saveMode,
                                            OutputRules{in.path, false, opt_.alpha}, opt_.format,
                                            opt_.pngLevel);
        } catch (const TambrelError &e) {
            FailAs(res, who, e.Description);
            return;
        } catch (const std::bad_alloc &) {
            FailAs(res, who, OutOfMemoryReason("write " + QuotedName(bmpName)));
            return;
        }
        switch (result.save.kind) {
        case SaveOutcome::Written:
            if (opt_.verbose) {
                res.err += who + " -> " + QuotedName(result.save.path) + "\n";
            }
            break;
        case SaveOutcome::SkippedExists:
            if (res.outcome != Outcome::Failed) {
                res.outcome = Outcome::Skipped;
            }
            if (opt_.verbose) {
                res.err += who + ": skipped, " + QuotedName(bmpName) + " exists\n";
            }
            break;
        default:
            FailAs(res, who, result.reason);
            break;
        }
    }

    void WriteExport(const Input &in, const IFF_Picture &pic, FileResult &res,
                     const std::optional<std::string> &file, const std::string &what,
                     ExportKind kind) const {
        if (!file) {
            return;
        }
        if (!ExportAvailable(pic, kind)) {
            const std::string trueColour = TrueColourRefusal(pic, kind);
            Fail(res, in.path,
                 (trueColour.empty() ? NothingToWriteReason(pic) : trueColour) + ", " + what +
                     " not written");
            return;
        }
        // Exports follow the save mode like the BMP and never replace the input.
        try {
            const SaveOutcome saved =
                SaveByMode(*file, opt_.saveMode, OutputRules{in.path},
                           [&](AtomicFile &out) { WriteExportTo(out, pic, kind); });
            if (saved.kind == SaveOutcome::SkippedExists) {
                res.err += QuotedName(in.path) + ": " + what + " not written, " +
                           QuotedName(*file) + " exists\n";
            } else if (saved.kind == SaveOutcome::NoFreeName) {
                Fail(res, in.path,
                     "no free numbered name for " + QuotedName(*file) + ", " + what +
                         " not written");
            } else if (opt_.verbose || saved.path != *file) {
                res.err += QuotedName(in.path) + " -> " + QuotedName(saved.path) + "\n";
            }
        } catch (const TambrelError &e) {
            Fail(res, in.path, e.Description);
        } catch (const std::bad_alloc &) {
            Fail(res, in.path, OutOfMemoryReason("write " + QuotedName(*file)));
        }
    }

    const Options &opt_;
};

// ---- The worker pool.

// Workers take files in input order and decode them in parallel; the save
// step runs strictly in input order, so two files that aim at the same BMP
// name (a.iff and a.IFF, or -o with equal names) get the same names in every
// run whatever the job count. The calling thread prints the results in input
// order as they complete. The pictures decoded at once share one memory
// budget: a file's buffers are allocated only when they fit beside those held.
class Pool {
  public:
    Pool(const Converter &conv, const std::vector<Input> &inputs)
        : conv_(conv), inputs_(inputs), results_(inputs.size()),
          budget_(DefaultMemoryBudget(), false) {}

    void Start(unsigned jobs) {
        const std::size_t n = std::min<std::size_t>(jobs, inputs_.size());
        try {
            for (std::size_t i = 0; i < n; ++i) {
                threads_.emplace_back([this] { Work(); });
            }
        } catch (const std::system_error &) {
            // Fewer threads than asked for: the ones started do all the work.
        }
        if (threads_.empty() && n > 0) {
            Work(); // no thread at all: convert everything here, in order
        }
    }

    // Blocks until file `index` is finished and returns its result.
    FileResult &WaitFor(std::size_t index) {
        std::unique_lock lock(mutex_);
        turn_.wait(lock, [&] { return saved_ > index; });
        return results_[index];
    }

    void Join() {
        for (std::thread &t : threads_) {
            t.join();
        }
    }

  private:
    void Work() {
        for (;;) {
            std::size_t index;
            {
                std::lock_guard lock(mutex_);
                if (next_ >= inputs_.size()) {
                    return;
                }
                index = next_++;
            }
            FileResult res;
            // A fresh record per file: nothing carries over from another picture.
            auto pic = std::make_unique<IFF_Picture>();
            std::unique_ptr<StreamedSave> stream;
            bool ok = false;
            try {
                const BudgetScope scope(budget_, index);
                ok = conv_.Load(inputs_[index], *pic, res, stream);
            } catch (const std::exception &e) {
                Fail(res, inputs_[index].path, e.what());
            }
            budget_.Finish(index);
            if (!ok) {
                stream.reset();
                pic.reset(); // free the memory before waiting for the turn
                budget_.Release(index);
            }
            {
                std::unique_lock lock(mutex_);
                turn_.wait(lock, [&] { return saved_ == index; });
            }
            if (ok) {
                try {
                    conv_.Save(inputs_[index], *pic, res, stream.get());
                } catch (const std::exception &e) {
                    Fail(res, inputs_[index].path, e.what());
                }
                const std::uint32_t count = pic->PictureCount;
                stream.reset();
                pic.reset();
                budget_.Release(index);
                try {
                    conv_.SaveOthers(inputs_[index], count, res, budget_, index);
                } catch (const std::exception &e) {
                    Fail(res, inputs_[index].path, e.what());
                }
            }
            {
                std::lock_guard lock(mutex_);
                results_[index] = std::move(res);
                ++saved_;
            }
            turn_.notify_all();
        }
    }

    const Converter &conv_;
    const std::vector<Input> &inputs_;
    std::vector<FileResult> results_;
    std::vector<std::thread> threads_;
    std::mutex mutex_;
    std::condition_variable turn_;
    MemoryBudget budget_;
    std::size_t next_ = 0;  // next file to take
    std::size_t saved_ = 0; // files whose save step is done (always a prefix)
};

constexpr const char *kClearLine = "\r\x1b[K";

} // namespace

unsigned JobCount(unsigned asked, unsigned processors) {
    return std::min(asked == 0 ? processors : asked, kJobsPerProcessor * processors);
}

int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err) {
    RunEnvironment env;
    env.progress = &err == &std::cerr && ::isatty(STDERR_FILENO) == 1;
    return run(args, out, err, env);
}

int run(const std::vector<std::string> &args, std::ostream &out, std::ostream &err,
        const RunEnvironment &env) {
    Options opt;
    std::vector<Input> inputs;
    bool sawFolder = false;
    std::vector<std::string> notes;
    try {
        switch (ParseArguments(args, opt)) {
        case Request::Help:
            out << UsageText();
            return kExitOk;
        case Request::Version:
            out << kProgram << " " << kPackageVersion << "\n";
            return kExitOk;
        case Request::Convert:
            break;
        }
        if (opt.paths.empty()) {
            throw UsageError{"no PATH given"};
        }
        if (opt.outDir) {
            std::error_code ec;
            const fs::file_status st = fs::status(*opt.outDir, ec);
            if (!fs::exists(st)) {
                throw UsageError{"output folder " + QuotedName(*opt.outDir) + " does not exist"};
            }
            if (!fs::is_directory(st)) {
                throw UsageError{"output folder " + QuotedName(*opt.outDir) + " is not a folder"};
            }
        }
        inputs = ListInputs(opt.paths, sawFolder, notes);
        const bool exports = opt.rgbFile || opt.lutFile || opt.paletteFile;
        if (exports && inputs.size() != 1) {
            throw UsageError{"--rgb, --lut and --palette need exactly one input file, not " +
                             std::to_string(inputs.size())};
        }
    } catch (const UsageError &e) {
        err << kProgram << ": " << e.message << "\n\n" << UsageText();
        return kExitUsage;
    }

    for (const std::string &note : notes) {
        err << kProgram << ": " << note << "\n";
    }

    const unsigned jobs = JobCount(opt.jobs, std::max(1u, std::thread::hardware_concurrency()));

    const Converter conv(opt);
    Pool pool(conv, inputs);
    pool.Start(jobs);

    const bool progress = env.progress && sawFolder && !inputs.empty();
    const bool headers = inputs.size() > 1 && (opt.info || opt.log);
    std::size_t converted = 0, skipped = 0, failed = 0;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        const FileResult &res = pool.WaitFor(i);
        if (progress && (!res.err.empty() || !res.out.empty())) {
            err << kClearLine << std::flush; // the lines start on a clean terminal line
        }
        if (headers && !res.out.empty()) {
            out << "==> " << QuotedName(inputs[i].path) << " <==\n";
        }
        out << res.out;
        out.flush();
        err << res.err;
        switch (res.outcome) {
        case Outcome::Converted:
            ++converted;
            break;
        case Outcome::Skipped:
            ++skipped;
            break;
        case Outcome::Failed:
            ++failed;
            break;
        }
        if (progress) {
            err << "\r" << kProgram << ": " << (i + 1) << "/" << inputs.size() << " files"
                << std::flush;
        }
    }
    pool.Join();
    if (progress) {
        err << kClearLine;
    }

    if (inputs.size() > 1 || skipped > 0 || failed > 0) {
        err << kProgram << ": converted " << converted << ", skipped " << skipped << " ("
            << UpperCase(FormatExtension(opt.format)) << " exists), failed " << failed << "\n";
    }
    err.flush();
    return failed > 0 ? kExitFailed : kExitOk;
}

} // namespace tambrel::cli
