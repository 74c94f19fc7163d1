#!/usr/bin/env python3
"""Checks that the test suite catches planted faults: plants each fault of the
list below in turn, builds the test programs it names, runs them in order
(stopping at the first that fails) and puts the file back. A fault whose text
is no longer in the code is reported NOT-FOUND: update the list.
Usage: scripts/mutate.py [ID...]   from the source folder, with a configured
build folder ./build; prints CAUGHT, SURVIVED or NO-BUILD for each fault."""
import os, subprocess, sys, time

BIN = {
    'core': 'tests/core/tambrel_core_tests',
    'cli': 'tests/cli/tambrel_cli_tests',
    'rel': 'tests/reliability/tambrel_reliability_tests',
    'gui': 'tests/gui/tambrel_gui_tests',
    'dlg': 'tests/dialogs/tambrel_dialogs_tests',
    'desk': 'tests/desktop/tambrel_desktop_tests',
    'fmt': 'tests/formats/tambrel_formats_tests',
    'qt': 'tests/formats/tambrel_qt_plugin_tests',
    'gdk': 'tests/formats/tambrel_gdk_pixbuf_tests',
}
TARGET = {k: os.path.basename(v) for k, v in BIN.items()}

M = []
def mut(id, file, old, new, *bins):
    M.append((id, file, old, new, bins))

# ---- decoder
mut('byterun-literal+1', 'decoder/body_decode.cpp', 'const std::size_t count = n + 1;', 'const std::size_t count = n + 2;', 'core')
mut('byterun-repeat-1', 'decoder/body_decode.cpp', 'const std::size_t count = 257 - n;', 'const std::size_t count = 256 - n;', 'core')
mut('byterun-tail-repeat', 'decoder/body_decode.cpp', 'col += 257 - n;', 'col += 256 - n;', 'core', 'rel')
mut('byterun-128-as-run', 'decoder/body_decode.cpp', '} else if (n >= 129) {\n                const std::size_t count', '} else if (n >= 128) {\n                const std::size_t count', 'core')
mut('ham6-green-mask', 'decoder/colour_resolve.cpp', 'HamMasks{15, 0xFFFF00, 0x00FFFF, 0xFF00FF}', 'HamMasks{15, 0xFFFF00, 0x00FFFF, 0xFFFF00}', 'core')
mut('ham8-low-bits', 'decoder/colour_resolve.cpp', 'HamMasks{63, 0xFFFF03, 0x03FFFF, 0xFF03FF}', 'HamMasks{63, 0xFFFF00, 0x03FFFF, 0xFF03FF}', 'core')
mut('ham-control-swap', 'decoder/colour_resolve.cpp', 'c = pic.HamGreen[v] + (prev & masks.keepForGreen);', 'c = pic.HamRed[v] + (prev & masks.keepForGreen);', 'core')
mut('ham6-nibble-scale', 'decoder/colour_resolve.cpp', 'pic.HamBlue[v] = d * 17;', 'pic.HamBlue[v] = d * 16;', 'core')
mut('ham8-red-shift', 'decoder/colour_resolve.cpp', 'pic.HamRed[v] = d * 262144;', 'pic.HamRed[v] = d * 131072;', 'core')
mut('halfbrite-green', 'decoder/iff_loader.cpp', '(g / 2) * 256', '(g / 3) * 256', 'core')
mut('cmap-rounding', 'decoder/iff_loader.cpp', '(std::uint64_t{size} + 1) / 3', 'std::uint64_t{size} / 3', 'core', 'rel')
mut('camg-interlace-bit', 'decoder/iff_loader.cpp', '(pic.ModeId & 4) != 0', '(pic.ModeId & 8) != 0', 'core')
mut('ham-not-on-5-planes', 'decoder/iff_loader.cpp', 'if (pic.Bitplanes == 6 || pic.Bitplanes == 5) {', 'if (pic.Bitplanes == 6) {', 'core')
mut('grey-ramp-scale', 'decoder/line_palettes.cpp', 'i * 255 / (entries - 1)', 'i * 256 / entries', 'core')
mut('grey-ramp-despite-cmap', 'decoder/line_palettes.cpp', '|| FindChunkInForm(pic, "CMAP", at, size)) {', ') {', 'core')
mut('cmyk-ink-additive', 'decoder/line_palettes.cpp', '((255 - ink) * (255 - k) + 127) / 255', '255 - std::min(255u, ink + k)', 'core')
mut('sham-every-line-laced', 'decoder/line_palettes.cpp', 'pic.Interlaced == 1 || pic.Height > 256', 'pic.Height > 256', 'core')
mut('sham-in-every-mode', 'decoder/line_palettes.cpp', '(pic.LineChangesHamOnly && pic.DisplayMode != 2)', '(pic.LineChangesHamOnly && pic.DisplayMode == 0)', 'core')
mut('pchg-line-late', 'decoder/line_palettes.cpp', 'pic.LineChanges[pic.LineChangesDone].Line < y) {', 'pic.LineChanges[pic.LineChangesDone].Line < y - 1) {', 'core')
mut('pchg-high-bank', 'decoder/line_palettes.cpp', '(w >> 12) + (n < low ? 0 : 16)', '(w >> 12)', 'core')
mut('pchg-32-rgb-order', 'decoder/line_palettes.cpp', 'const std::uint32_t b = in.Byte();\n            const std::uint32_t g = in.Byte();', 'const std::uint32_t g = in.Byte();\n            const std::uint32_t b = in.Byte();', 'core')
mut('pchg-no-halfbrite', 'decoder/line_palettes.cpp', 'if (pic.HalfBright == 1 && change.Entry < 32) {', 'if (false) {', 'core')
mut('pchg-mask-low-bit-first', 'decoder/line_palettes.cpp', '(mask[i / 8] >> (7 - i % 8) & 1)', '(mask[i / 8] >> (i % 8) & 1)', 'core')
mut('ctbl-scale', 'decoder/iff_loader.cpp', '(lo & 0x0F)) * 16', '(lo & 0x0F)) * 17', 'core')
mut('ctbl-extra-line', 'decoder/iff_loader.cpp', 'std::min<std::uint64_t>(size / 32, lastLine + 1)', 'std::min<std::uint64_t>(size / 32, lastLine + 2)', 'core', 'rel')
mut('ctbl-in-ham8', 'decoder/colour_resolve.cpp', 'pic.DynamicPalette == 1 && pic.DisplayMode != 3', 'pic.DynamicPalette == 1', 'core')
mut('bmhd-keeps-camg', 'decoder/iff_loader.cpp', 'their tables stay.\n    pic.DisplayMode = 0;', 'their tables stay.\n', 'core')
mut('too-large-limit', 'decoder/body_decode.cpp', 'if ((w8 + 1) * rows > std::min(kMaxPixels, limits.Pixels)) {', 'if ((w8 + 1) * rows > std::min(4 * kMaxPixels, limits.Pixels)) {', 'core', 'rel', 'cli')
mut('pixel-pair-swap', 'decoder/body_decode.cpp', 'colours[x] = indices[x] = left;\n            colours[x + 1] = indices[x + 1] = right;', 'colours[x] = indices[x] = right;\n            colours[x + 1] = indices[x + 1] = left;', 'core')
mut('debug-log-word', 'decoder/iff_loader.cpp', 'AddDebugLine(pic, "BodyFound");', 'AddDebugLine(pic, "Body Found");', 'core')
mut('planes-0-decoded', 'decoder/body_decode.cpp', 'palettePlanes = pic.Bitplanes >= 1 &&', 'palettePlanes = pic.Bitplanes >= 0 &&', 'core', 'rel')
mut('deep-plain-past-end', 'decoder/body_decode.cpp', 'if (!packed && pic.ReadPos + rowSize <= pic.FileLength) {', 'if (!packed) {', 'core')
mut('pbm-type-prefix', 'decoder/body_decode.cpp', '} else if (type == "PBM ") {', '} else if (type.rfind("PBM", 0) == 0) {', 'core')
mut('progress-chunky-rows', 'decoder/body_decode.cpp', '        FinishRow(pic, y);\n        ReportRows(pic, y);\n    }\n    AddDebugLine(pic, "Chunky Body Done");', '        FinishRow(pic, y);\n    }\n    AddDebugLine(pic, "Chunky Body Done");', 'core')
mut('progress-deep-end', 'decoder/body_decode.cpp', '    ReportRows(pic, std::max(pic.Height, 0));\n', '', 'core')
mut('progress-no-start', 'decoder/body_decode.cpp', '        if (y == 0) {\n            pic.Progress->Rows', '        if (y == -1) {\n            pic.Progress->Rows', 'core')
mut('progress-plane-rows', 'decoder/body_decode.cpp', '        ConvertPlaneRow(pic, y);\n        FinishRow(pic, y);\n        ReportRows(pic, y);', '        ConvertPlaneRow(pic, y);\n        FinishRow(pic, y);', 'core')
mut('info-mask-colour', 'decoder/picture_info.cpp', '{"Mask Colour:", LongToHex(pic.TransparentColour)}', '{"Mask Color:", LongToHex(pic.TransparentColour)}', 'core')
mut('info-pixels-32bit', 'decoder/picture_info.cpp', 'NumberText(std::int64_t{pic.Width} * pic.Height)', 'NumberText(pic.Width * pic.Height)', 'core')
# ---- output
mut('bmp-row-order', 'output/bmp_writer.cpp', 'source.Row(static_cast<std::size_t>(bmpHeight - r))', 'source.Row(static_cast<std::size_t>(r + 1))', 'core')
mut('bmp-file-size', 'output/bmp_writer.cpp', 'h.WriteLong(imageSize + 54);', 'h.WriteLong(imageSize + 56);', 'core')
mut('bmp-zero-width', 'output/bmp_writer.cpp', 'return bmpWidth >= 1 && bmpHeight >= 1;', 'return bmpWidth >= 0 && bmpHeight >= 1;', 'core')
mut('bmp-fallback-rows', 'output/bmp_writer.cpp', 'static_cast<std::size_t>(bmpHeight - r); // bottom row first', 'static_cast<std::size_t>(bmpHeight - r - 1); // bottom row first', 'core')
mut('bmp-name-no-ext', 'output/file_functions.cpp', 'const auto dot = ExtensionDot(sourcePath);', "const auto dot = sourcePath.rfind('.');", 'core')
mut('save-mode-branch', 'output/file_functions.cpp', 'if (mode == SaveMode::OnlyIfAbsent && FileExists(name)) {', 'if (mode == SaveMode::Overwrite && FileExists(name)) {', 'core', 'cli')
mut('rename-starts-at-1', 'output/file_functions.cpp', 'for (int n = FirstFreeNumber(name, 0); n >= 0;', 'for (int n = FirstFreeNumber(name, 1); n >= 0;', 'core')
mut('rename-limit', 'output/file_functions.cpp', 'n <= kMaxRenameNumber; ++n', 'n < kMaxRenameNumber; ++n', 'core')
mut('save-mode-unknown', 'output/file_functions.cpp', 'if (saveMode < 0 || saveMode > 2) {\n        return {SaveOutcome::UnknownMode, {}};', 'if (saveMode < 0 || saveMode > 2) {\n        return {SaveOutcome::NotWritable, {}};', 'core')
mut('bmp-name-case', 'output/file_functions.cpp', '"png" : "bmp";', '"png" : "BMP";', 'core')
mut('palette-lines', 'output/exports.cpp', 'std::clamp(pic.Bitplanes, 0, 8)', 'std::clamp(pic.Bitplanes, 0, 9)', 'core')
mut('temp-left-behind', 'output/atomic_file.cpp', '        ::unlink(temp_.c_str());', '        (void)0;', 'rel', 'core', 'fmt')
mut('efbig-wording', 'common/errors.cpp', '    case EFBIG:\n', '', 'rel')
mut('enoent-number', 'common/errors.cpp', 'number = path.empty() ? kErrBadFileName : kErrFileNotFound;', 'number = kErrBadFileName;', 'rel', 'cli')
mut('enotdir-number', 'common/errors.cpp', 'case ENOTDIR:\n        number = kErrPathNotFound;', 'case ENOTDIR:\n        number = kErrPathFileAccess;', 'rel', 'cli', 'core')
mut('rows-never-stream', 'decoder/iff_loader.cpp', '                pic.RowsStream = stream;', '                pic.RowsStream = false;', 'fmt', 'qt', 'gdk')
mut('earlier-picture-kept', 'decoder/iff_loader.cpp', '    ForgetEarlierPicture(pic);\n', '    (void)&ForgetEarlierPicture;\n', 'core')
mut('deep-mask-dropped', 'decoder/body_decode.cpp', '            SpreadMaskRow(pic, y, rows.data() + planes * stride);\n', '', 'core')
mut('mask-on-every-kind', 'decoder/body_decode.cpp', '    pic.MaskCarried = interleaved;', '    pic.MaskCarried = interleaved || true;', 'core')
mut('qt-size-unanswered', 'plugins/qt/ilbm_plugin.cpp', '    return option == Size;', '    return option == Gamma;', 'qt')
mut('output-header-sized', 'output/picture_pixels.cpp', '    return std::min(static_cast<std::size_t>(pic.DecodedWidth()), grid.Columns());', '    return std::min(static_cast<std::size_t>(pic.Width), grid.Columns());', 'core', 'fmt')
# ---- converter
mut('not-picture-wording', 'convert/convert.cpp', '"not an IFF ILBM picture (no FORM ... ILBM header)"', '"not an IFF picture (no FORM ... ILBM header)"', 'cli')
mut('no-free-name-wording', 'convert/convert.cpp', '"no free numbered name for "', '"no free name for "', 'cli')
mut('no-bmp-wording', 'convert/convert.cpp', '               " written";', '               " saved";', 'cli')
mut('failure-reason-wording', 'convert/convert.cpp', 'return "Error:" + NumberText(number) + " " + description;', 'return "Error:" + NumberText(number) + ": " + description;', 'gui', 'cli')
mut('cli-default-mode', 'cli/converter.cpp', 'int saveMode = 2;', 'int saveMode = 1;', 'cli')
mut('cli-log-start', 'cli/converter.cpp', 'for (std::size_t i = 2; i < pic.DebugLog.size(); ++i) {', 'for (std::size_t i = 0; i < pic.DebugLog.size(); ++i) {', 'cli')
mut('cli-rgb-writer', 'cli/converter.cpp', 'WriteRawColoursTo, std::string());', 'WriteRawIndicesTo, std::string());', 'cli')
mut('cli-summary-skips', 'cli/converter.cpp', 'if (inputs.size() > 1 || skipped > 0 || failed > 0) {', 'if (inputs.size() > 1 || failed > 0) {', 'cli')
mut('cli-exit-status', 'cli/converter.cpp', 'return failed > 0 ? kExitFailed : kExitOk;', 'return kExitOk;', 'cli')
mut('batch-failed-counted-converted', 'cli/converter.cpp', '        case Outcome::Failed:\n            ++failed;', '        case Outcome::Failed:\n            ++converted;', 'rel')
mut('info-header-for-failed', 'cli/converter.cpp', 'if (headers && !res.out.empty()) {', 'if (headers) {', 'cli')
mut('sigpipe-not-ignored', 'cli/main.cpp', '    std::signal(SIGPIPE, SIG_IGN);\n', '', 'cli')
mut('progress-unasked', 'cli/converter.cpp', 'const bool progress = env.progress && sawFolder', 'const bool progress = (env.progress || sawFolder) && sawFolder', 'cli')
mut('cli-short-attached', 'cli/converter.cpp', 'attached = arg.substr(2);', 'attached = arg.substr(3);', 'cli')
mut('cli-sigxfsz', 'cli/main.cpp', 'std::signal(SIGXFSZ, SIG_IGN);', '', 'rel')
# ---- windows
mut('load-error-spacing', 'app/load_command.cpp', 'Tk().MessageBox("Load Error: " + NumberText(failure.Number) + "  "', 'Tk().MessageBox("Load Error: " + NumberText(failure.Number) + " "', 'gui')
mut('vanished-wording', 'app/load_command.cpp', '"Error- File Doesn\'t Exist"', '"Error - File Doesn\'t Exist"', 'gui')
mut('no-body-notice', 'app/load_command.cpp', '"Missing Image BODY hunk"', '"Missing BODY hunk"', 'gui')
mut('overwrite-only-no-cancels', 'app/save_commands.cpp', 'Tk().MessageBox(kOverwriteQuestion, MbYesNo, MbQuestion, kOverwriteTitle) == IdNo)\n', 'Tk().MessageBox(kOverwriteQuestion, MbYesNo, MbQuestion, kOverwriteTitle) != IdYes)\n', 'gui')
mut('menu-caption', 'app/tambrel_main.cpp', '"Save Bitmap &As"', '"Save Bitmap &as"', 'gui')
mut('toolbar-caption', 'app/tambrel_main.cpp', '{"New", "Load", "Save As", "View"}', '{"New", "Load", "Save As", "Show"}', 'gui')
mut('panel-value-offset', 'app/load_command.cpp', 'surface.TextWidth(ThisField + " ")', 'surface.TextWidth(ThisField)', 'gui')
mut('panel-value-weight', 'app/load_command.cpp', '    surface.SetBold(true);\n    surface.SetCurrentX(x + w);', '    surface.SetCurrentX(x + w);', 'gui')
mut('preview-size', 'app/load_command.cpp', 'QRect(0, 0, 320, 256));', 'QRect(0, 0, 320, 255));', 'gui')
mut('drop-without-file', 'app/load_command.cpp', 'if (!Busy() && event->mimeData() && !FirstLocalFile(*event->mimeData()).empty())\n        event->acceptProposedAction();\n    else\n        event->ignore();\n}\n\nvoid TambrelMain::dragMoveEvent', 'if (!Busy() && event->mimeData())\n        event->acceptProposedAction();\n    else\n        event->ignore();\n}\n\nvoid TambrelMain::dragMoveEvent', 'gui')
mut('drop-while-busy', 'app/load_command.cpp', 'if (!Busy() && event->mimeData() && !FirstLocalFile(*event->mimeData()).empty())\n        event->acceptProposedAction();\n    else\n        event->ignore();\n}\n\nvoid TambrelMain::dragMoveEvent', 'if (event->mimeData() && !FirstLocalFile(*event->mimeData()).empty())\n        event->acceptProposedAction();\n    else\n        event->ignore();\n}\n\nvoid TambrelMain::dragMoveEvent', 'gui')
mut('batch-default-method', 'app/tambrel_main.cpp', '    batchSaveMode_ = 2;\n', '    batchSaveMode_ = 1;\n', 'gui')
mut('batch-failure-line', 'batch/batch_conversion.cpp', 'text += "\\r\\n" + name + " - " + reason;', 'text += "\\r\\n" + name + ": " + reason;', 'gui')
mut('batch-convert-more-title', 'batch/batch_conversion.cpp', 'MbQuestion, "Convert More")', 'MbQuestion, "Convert more")', 'gui')
mut('listing-by-name-only', 'convert/picture_list.cpp', '(EndsWithIff(name) || StartsAsPicture(it->path()))', '(EndsWithIff(name) || (false && StartsAsPicture(it->path())))', 'gui', 'cli')
mut('batch-lists-hidden', 'batch/batch_conversion.cpp', 'if (name[0] != \'.\')', 'if (!name.empty())', 'gui')
mut('load-blocks-event-loop', 'app/load_command.cpp', '    loop.exec(QEventLoop::ExcludeUserInputEvents);', '    (void)0;', 'gui')
mut('start-file-not-loaded', 'app/load_command.cpp', 'if (path.empty())\n        return;\n    QTimer::singleShot(0, this, [this, path] { LoadFromPath(path); });', 'if (path.empty())\n        return;', 'gui')
mut('surface-clear-keeps-lines', 'app/picture_surface.cpp', '    image_.fill(back_);\n    cursorX_ = 0;\n    cursorY_ = 0;\n    printed_.clear();', '    image_.fill(back_);\n    cursorX_ = 0;\n    cursorY_ = 0;', 'gui')
mut('surface-clear-keeps-cursor', 'app/picture_surface.cpp', '    image_.fill(back_);\n    cursorX_ = 0;\n    cursorY_ = 0;\n', '    image_.fill(back_);\n', 'gui')
mut('export-txt-ext', 'app/save_commands.cpp', 'args.DefaultExt = "TXT";', 'args.DefaultExt = "txt";', 'gui')
mut('export-bad-folder', 'app/save_commands.cpp', '"Error: Bad Folder or Drive Selection"', '"Error: Bad Folder"', 'gui')
mut('palette-every-failure-bad-folder', 'app/save_commands.cpp', 'kind == ExportKind::Palette && failure.Number == kErrPathNotFound', 'kind == ExportKind::Palette', 'gui')
# ---- dialogs and splash
mut('about-released', 'splash/about_text.cpp', '"  Released:"', '"  Released: "', 'dlg')
mut('filter-colon', 'dialogs/filter_text.cpp', "out.push_back(c == ':' || c == '|' ? '\\0' : c);", "out.push_back(c == '|' ? '\\0' : c);", 'dlg')
mut('splash-pref-ignored', 'app/tambrel_main.cpp', 'if (prefs_.SplashSetting == -1)', 'if (prefs_.SplashSetting == -2)', 'gui')
mut('prefs-written-value', 'output/preferences.cpp', 'prefs.SplashSetting = -1;', 'prefs.SplashSetting = 0;', 'core')
mut('picture-window-frame', 'app/show_pic.cpp', 'p.fillRect(event->rect(), Qt::white);', 'p.fillRect(event->rect(), Qt::black);', 'gui')
mut('splash-updates-caption', 'splash/splash_screen.cpp', 'QStringLiteral("Updates")', 'QStringLiteral("Update")', 'dlg')
# ---- windows and reliability, second round
mut('zoom-step-down', 'app/show_pic.cpp', 'if (*it < current * 0.9999)', 'if (*it < current * 0.5)', 'gui')
mut('zoom-fit-larger-side', 'app/show_pic.cpp', 'const double z = std::min(', 'const double z = std::max(', 'gui')
mut('zoom-fit-empty', 'app/show_pic.cpp', 'if (picture.isEmpty() || room.isEmpty())\n        return 1;', 'if (picture.isEmpty() || room.isEmpty())\n        return 0;', 'gui')
mut('picture-window-zoomed-size', 'app/show_pic.cpp', '(PictureSize() * (fit_ ? 1.0 : zoom_))', '(PictureSize() * (fit_ ? 1.0 : 2 * zoom_))', 'gui')
mut('zoom-not-remembered', 'app/show_pic.cpp', 'main_.Memory().SetZoom(fit_ ? 0 : zoom_);', 'main_.Memory().SetZoom(fit_ ? 0 : 1);', 'gui')
mut('remembered-zoom-fallback', 'app/remembered.cpp', 'return ok && zoom >= 0 ? zoom : fallback;', 'return ok && zoom >= 0 ? zoom : fallback + 1;', 'gui')
mut('remembered-folder-key', 'app/remembered.cpp', 'settings_->setValue(QStringLiteral("Folders/") + key', 'settings_->setValue(QStringLiteral("Folder/") + key', 'gui')
mut('batch-cancel-ignored', 'batch/batch_conversion.cpp', 'cancelled_ = true; // the run stops after the current file', '(void)0;', 'gui')
mut('batch-kept-counted-converted', 'batch/batch_conversion.cpp', '++(result.save.kind == SaveOutcome::Written ? counts_.Converted : counts_.Kept);', '++counts_.Converted;', 'gui')
mut('batch-failures-uncounted', 'batch/batch_conversion.cpp', '            ++counts_.Failed;\n', '', 'gui')
mut('same-file-not-refused', 'output/atomic_file.cpp', 'source.st_ino == st.st_ino) {', 'source.st_ino != st.st_ino) {', 'rel')
mut('replaced-mode-not-kept', 'output/atomic_file.cpp', '::fchmod(fd_, st.st_mode & 07777);', '::fchmod(fd_, 0644);', 'rel')
mut('no-unnamed-temporary', 'output/atomic_file.cpp', 'unnamed_ = fd_ >= 0;', 'unnamed_ = false;', 'rel')
mut('budget-not-shared', 'decoder/memory_budget.cpp', 'return others == 0 || others + bytes <= limit_;', 'return true;', 'core', 'rel')
mut('budget-refusal-late', 'decoder/memory_budget.cpp', 'if (bytes > limit_ && refuseLarger_) {', 'if (bytes > 2 * limit_ && refuseLarger_) {', 'core', 'rel', 'cli')
mut('cache-past-form-end', 'decoder/iff_loader.cpp', '    return std::min(length, formEnd);', '    return formEnd ? length : length;', 'rel')
mut('cache-reads-non-regular', 'decoder/iff_loader.cpp', 'if (!S_ISREG(st.st_mode)) {\n        ::close(fd);', 'if (false) {\n        ::close(fd);', 'rel')
mut('quoted-octal-digit', 'common/text.cpp', "text += static_cast<char>('0' + ((c >> 3) & 7));", "text += static_cast<char>('0' + ((c >> 4) & 7));", 'rel')
mut('quoted-apostrophe', 'common/text.cpp', 'text += "\'\\\\\'\'";', 'text += "\\\\\'";', 'rel')
# ---- kinds, PNG, converter formats
mut('pbm-row-padding', 'decoder/body_decode.cpp', 'const std::size_t s = width + width % 2;', 'const std::size_t s = width;', 'core')
mut('pbm-packtype-limit', 'decoder/body_decode.cpp', 'if (pic.Packtype > 1) {', 'if (pic.Packtype > 3) {', 'core')
mut('deep-green-shift', 'decoder/body_decode.cpp', '((parts[1] >> shift) & 255) << 8', '((parts[1] >> shift) & 255) << 9', 'core')
mut('deep-alpha-order', 'decoder/body_decode.cpp', 'static_cast<std::uint8_t>(parts[3] >> (8 * (7 - i)))', 'static_cast<std::uint8_t>(parts[3] >> (8 * i))', 'core')
mut('deep-mask-row', 'decoder/body_decode.cpp', '(planes + (pic.Masking == 1 ? 1 : 0)) * s', 'planes * s', 'core')
mut('acbm-odd-rows', 'decoder/body_decode.cpp', 'rowBytes % 2 == 1 && size == exact', 'rowBytes % 2 == 3 && size == exact', 'core')
mut('vdat-count-base', 'decoder/body_decode.cpp', 'std::max<std::uint32_t>(BigEndian16(cache + pos), 2) - 2', 'std::max<std::uint32_t>(BigEndian16(cache + pos), 2) - 1', 'core')
mut('vdat-repeat-kind', 'decoder/body_decode.cpp', 'const bool repeat = c >= 1;', 'const bool repeat = c >= 2;', 'core')
mut('vdat-not-detected', 'decoder/body_decode.cpp', 'if (pic.Packtype == 2 && pos + 4 <= pic.FileLength &&', 'if (pic.Packtype == 3 && pos + 4 <= pic.FileLength &&', 'core')
mut('png-trns-value', 'output/png_writer.cpp', 'trans.back() = 0;', 'trans.back() = 1;', 'fmt')
mut('png-trns-index', 'output/picture_pixels.cpp', 'if (pic.Masking == 2 && pic.TransparentColour < size) {', 'if (pic.Masking == 3 && pic.TransparentColour < size) {', 'fmt')
mut('png-rgba-transparent', 'output/picture_pixels.cpp', 'if (pic.Masking == 2 && !pic.IsDeep() && pic.PixelIndices.Holds(x, row) &&', 'if (pic.Masking == 1 && !pic.IsDeep() && pic.PixelIndices.Holds(x, row) &&', 'fmt')
mut('cli-format-png', 'cli/converter.cpp', '} else if (text == "png") {', '} else if (text == "PNG") {', 'fmt')
mut('cli-folder-by-content', 'convert/picture_list.cpp', 'return got == head.size() && IsPictureHeader(head);', 'return got == head.size();', 'cli', 'gui')
mut('deep-export-wording', 'convert/convert.cpp', '" bit planes of true colour) and has no "', '" bit planes) and has no "', 'core')
mut('no-abit-wording', 'convert/convert.cpp', '? "no ABIT chunk" :', '? "no BODY chunk" :', 'core')
mut('no-output-wording', 'convert/convert.cpp', '", no " + UpperCase(FormatExtension(format))', '", no " + FormatExtension(format)', 'cli')
# ---- refusals, rows past the buffers, signals, the shared budget
mut('deep-pbm-accepted', 'decoder/body_decode.cpp', '!(deepPlanes && pic.Form != FormKind::Pbm)', '!deepPlanes', 'core')
mut('bmp-fast-path-row-past', 'output/bmp_writer.cpp', 'static_cast<std::size_t>(bmpHeight) < source.Rows()', 'static_cast<std::size_t>(bmpHeight) <= source.Rows()', 'core')
mut('signal-cleanup-not-installed', 'output/atomic_file.cpp', 'old.sa_handler != SIG_DFL ||', 'old.sa_handler == SIG_DFL ||', 'rel')
mut('budget-claim-returns-at-once', 'decoder/memory_budget.cpp', 'const std::string &what) {\n    if (bytes > limit_', 'const std::string &what) {\n    return;\n    if (bytes > limit_', 'core', 'rel')
mut('picture-window-from-header', 'app/show_pic.cpp', 'QSize(pic.DecodedWidth(), pic.DecodedHeight())', 'QSize(pic.Width, pic.Height)', 'gui')
mut('file-size-limit-kills', 'output/atomic_file.cpp', 'std::signal(SIGXFSZ, SIG_IGN);', 'std::signal(SIGXFSZ, SIG_DFL);', 'fmt')
mut('info-name-raw', 'cli/converter.cpp', '(label == "File:" ? QuotedName(value) : value)', 'value', 'cli')
mut('keys-not-held', 'app/load_command.cpp', 'const KeyHold hold(*this);', '', 'gui')
mut('close-does-not-cancel', 'app/tambrel_main.cpp', 'loading_->Cancel.store(true', 'loading_->Cancel.store(false', 'gui')
mut('decoder-ignores-cancel', 'decoder/body_decode.cpp', 'if (pic.Progress->Cancel.load(', 'if (false && pic.Progress->Cancel.load(', 'core')

def run(cmd, **kw):
    return subprocess.run(cmd, shell=True, capture_output=True, text=True, **kw)

def main():
    only = set(sys.argv[1:])
    results = []
    env = dict(os.environ, QT_QPA_PLATFORM='offscreen')
    for id, file, old, new, bins in M:
        if only and id not in only:
            continue
        src = open(file).read()
        if src.count(old) < 1:
            results.append((id, 'NOT-FOUND', ''))
            print(f'{id}: NOT-FOUND', flush=True)
            continue
        t0 = time.time()
        open(file, 'w').write(src.replace(old, new, 1))
        verdict, by = 'SURVIVED', ''
        try:
            for b in bins:
                r = run(f'cmake --build build --target {TARGET[b]}')
                if r.returncode != 0:
                    verdict, by = 'NO-BUILD', b
                    print(r.stdout[-1500:])
                    break
                r = run(f'timeout 600 build/{BIN[b]} --gtest_brief=1', env=env)
                if r.returncode != 0:
                    failed = [l for l in r.stdout.splitlines() if l.startswith('[  FAILED  ]')]
                    verdict, by = 'CAUGHT', b + ' ' + (failed[0][13:].split(' ')[0] if failed else f'rc={r.returncode}')
                    break
        finally:
            open(file, 'w').write(src)
        results.append((id, verdict, by))
        print(f'{id}: {verdict} {by} ({time.time() - t0:.0f}s)', flush=True)
    caught = sum(1 for r in results if r[1] == 'CAUGHT')
    print(f'caught {caught} of {len(results)}')

main()
