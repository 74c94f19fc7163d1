// The main window's load and display commands: the open dialog, dropped
// files, the load on a worker thread, the information panel and the preview.
#include "app/open_request.h"
#include "app/tambrel_main.h"
#include "common/declarations.h"
#include "common/errors.h"
#include "common/text.h"
#include "decoder/iff_loader.h"
#include "decoder/memory_budget.h"
#include "decoder/picture_info.h"
#include "dialogs/common_dialog.h"
#include "dialogs/toolkit.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QEventLoop>
#include <QMimeData>
#include <QProgressBar>
#include <QProgressDialog>
#include <QTimer>

#include <atomic>
#include <cmath>
#include <exception>
#include <new>
#include <thread>

namespace tambrel {

namespace {

const QColor kWhite(255, 255, 255);
const QColor kLabelColour(17, 17, 17);
const QColor kValueColour(223, 128, 48);
const QColor kNoticeColour(255, 17, 0);

// The load dialog's second filter: every name Amiga pictures go by.
const char *kAmigaPicturesFilter = "all Amiga pictures|*.iff;*.ilbm;*.lbm;*.bbm|";

// The work surface's picture area: what was decoded, never what a header
// claims (a later BMHD may claim more; a picture without a BODY has none).
// Refused (error 7) before anything is allocated when the surface would pass
// the decoder's pixel cap or, with the decoded buffers, the memory budget.
QSize PictureArea(const IFF_Picture &pic) {
    std::int64_t w = std::max(pic.DecodedWidth(), 0), h = std::max(pic.DecodedHeight(), 0);
    w = std::min<std::int64_t>(w, static_cast<std::int64_t>(pic.PixelColours.Columns()));
    h = std::min<std::int64_t>(
        h, std::max<std::int64_t>(static_cast<std::int64_t>(pic.PixelColours.Rows()) - 1, 0));
    const auto surface = static_cast<std::uint64_t>(w + 4) * static_cast<std::uint64_t>(h + 3);
    const std::uint64_t held = 4 * pic.PixelColours.Size() + pic.PixelIndices.Size();
    if (surface > kMaxPixels || 4 * surface + held > DefaultMemoryBudget())
        throw TambrelError(kErrOutOfMemory, "Picture too large: " + std::to_string(pic.Width) +
                                                " x " + std::to_string(pic.Height) +
                                                " pixels is more than this program holds");
    return QSize(static_cast<int>(w), static_cast<int>(h));
}

// The picture at full size on a white image of the given size: what
// DrawBitmap leaves on a surface. Any thread may build it; setting `cancel`
// stops it with the decoder's cancellation.
QImage PictureImage(const IFF_Picture &pic, int width, int height,
                    std::atomic<std::int32_t> *rowsDrawn = nullptr,
                    const std::atomic<bool> *cancel = nullptr) {
    QImage image(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    if (image.isNull())
        throw std::bad_alloc(); // the toolkit could not hold the drawing
    image.fill(kWhite);
    const auto &colours = pic.PixelColours;
    if (!pic.HasBody() || pic.Width <= 0 || pic.Height <= 0 || colours.Rows() < 2)
        return image;
    const int rows = std::min<std::size_t>(
        {std::size_t(pic.Height), colours.Rows() - 1, std::size_t(image.height())});
    const int columns = std::min<std::size_t>(
        {std::size_t(pic.Width), colours.Columns(), std::size_t(image.width())});
    for (int y = 0; y < rows; ++y) {
        const Colour *src = pic.ColourRow(y);
        auto *dst = reinterpret_cast<std::uint32_t *>(image.scanLine(y));
        // RGB32 keeps 0xffRRGGBB: the value's top byte is replaced.
        for (int x = 0; x < columns; ++x)
            dst[x] = src[x] | 0xff000000u;
        if (cancel && cancel->load(std::memory_order_relaxed))
            throw TambrelError(kErrDeviceIO, kLoadCancelledText);
        if (rowsDrawn)
            rowsDrawn->store(y + 1, std::memory_order_relaxed);
    }
    return image;
}

} // namespace

// ---- Input during a load ----

// While alive, keys meant for this program's windows are kept for
// DeliverHeldKeys (shortcuts included: a held key press is replayed as typed)
// and mouse clicks and wheel turns are dropped, so nothing acts on a picture
// that is being replaced. A modal dialog shown meanwhile gets its input.
class TambrelMain::KeyHold : public QObject {
  public:
    explicit KeyHold(TambrelMain &main) : main_(main) { qApp->installEventFilter(this); }
    ~KeyHold() override {
        qApp->removeEventFilter(this);
        if (!main_.heldKeys_.empty())
            QTimer::singleShot(0, &main_, &TambrelMain::DeliverHeldKeys);
    }
    KeyHold(const KeyHold &) = delete;
    KeyHold &operator=(const KeyHold &) = delete;

  protected:
    bool eventFilter(QObject *watched, QEvent *event) override {
        if (!watched->isWidgetType())
            return false;
        const QWidget *modal = QApplication::activeModalWidget();
        if (modal && (modal == watched || modal->isAncestorOf(static_cast<QWidget *>(watched))))
            return false;
        switch (event->type()) {
        case QEvent::ShortcutOverride:
            // Claimed, so no shortcut fires now: the key arrives as a key press.
            event->accept();
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            main_.heldKeys_.emplace_back(watched, event->clone());
            return true;
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::ContextMenu:
            return true;
        default:
            return false;
        }
    }

  private:
    TambrelMain &main_;
};

void TambrelMain::DeliverHeldKeys() {
    // A key may start another load or a batch run: the rest wait for its end.
    while (!heldKeys_.empty() && !Busy()) {
        auto [target, event] = std::move(heldKeys_.front());
        heldKeys_.erase(heldKeys_.begin());
        // Sent, not posted: a key press sent to a widget goes through the
        // shortcuts first, as one typed would.
        if (target)
            QCoreApplication::sendEvent(target, event.get());
    }
    if (!heldKeys_.empty())
        QTimer::singleShot(50, this, &TambrelMain::DeliverHeldKeys);
}

// ---- Display ----

void TambrelMain::do_New() {
    picture_.Width = 0;
    picture_.Height = 0;
    picture_.PictureName.clear();
    picture_.PictureLoaded = 0;
    picture5_->Clear();
    picture6_->SetBackColor(kWhite);
    picture6_->Clear();
    picture1_->SetBackColor(kWhite);
    picture1_->Clear();
    FollowInPictureWindow();
}

void TambrelMain::DrawBitmap(PictureSurface &surface) {
    surface.SetBackColor(kWhite);
    surface.AdoptImage(PictureImage(picture_, surface.InnerWidth(), surface.InnerHeight()));
}

int TambrelMain::COlPrint(PictureSurface &surface, const QString &ThisField,
                          const QString &ThisTExt) {
    surface.SetBold(false);
    const double x = std::nearbyint(surface.CurrentX());
    const double y = std::nearbyint(surface.CurrentY());
    surface.SetForeColor(kLabelColour);
    const int w = surface.TextWidth(ThisField + " ");
    surface.PrintLine(ThisField);
    surface.SetBold(true);
    surface.SetCurrentX(x + w);
    surface.SetCurrentY(y);
    surface.SetForeColor(kValueColour);
    surface.PrintLine(ThisTExt);
    return 0;
}

void TambrelMain::IFF_Show_Image_info(PictureSurface &surface) {
    surface.Clear();
    for (const auto &[label, value] : ImageInfoLines(picture_)) {
        // The file name may be cut off at the panel's edge: its line shows the
        // whole path as a tooltip.
        if (label == "File:" && !picture_.PicturePath.empty())
            surface.SetLineToolTip(std::nearbyint(surface.CurrentY()),
                                   QString::fromStdString(picture_.PicturePath));
        COlPrint(surface, QString::fromStdString(label), QString::fromStdString(value));
    }
}

// ---- Load ----

void TambrelMain::mnu_file_Load_Click() {
    Do_LOAD();
}

void TambrelMain::Do_LOAD() {
    if (Busy())
        return;
    BusyScope busy(*this);
    std::string chosen;
    const bool asked = InLoadErrorTrap([&] {
        cCommonDialog dialog;
        cCommonDialog::OpenArgs args;
        args.Filter =
            std::string("(*") + ".Iff" + ")|*.iff|" + kAmigaPicturesFilter + "all files|*|";
        args.FilterIndex = 1;
        args.DefaultExt = "IFF";
        args.InitDir = DialogFolder();
        args.Owner = this;
        args.flags = 4;
        if (dialog.VBGetOpenFileName(args))
            chosen = args.Filename;
    });
    if (!asked || chosen.empty())
        return;
    RememberDialogFolder(chosen);
    LoadChosenFile(chosen);
}

bool TambrelMain::LoadFromPath(const std::string &path) {
    if (Busy())
        return false;
    BusyScope busy(*this);
    LoadChosenFile(path);
    return true;
}

void TambrelMain::OpenAtStart(const std::string &path) {
    if (path.empty())
        return;
    QTimer::singleShot(0, this, [this, path] { LoadFromPath(path); });
}

void TambrelMain::LoadChosenFile(const std::string &path) {
    InLoadErrorTrap([&] {
        Tk().Yield();
        do_New();
        IFF_DO_LOAD_IFF(path);
    });
}

bool TambrelMain::InLoadErrorTrap(const std::function<void()> &step) {
    try {
        step();
        return true;
    } catch (...) {
        const Failure failure = CurrentFailure();
        if (failure.Description == kLoadCancelledText)
            return false; // the window was closed: nobody is there to tell
        Tk().MessageBox("Load Error: " + NumberText(failure.Number) + "  " + failure.Description,
                        MbOkOnly, MbCritical);
    }
    return false;
}

// ---- Drag and drop ----

void TambrelMain::dragEnterEvent(QDragEnterEvent *event) {
    if (!Busy() && event->mimeData() && !FirstLocalFile(*event->mimeData()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TambrelMain::dragMoveEvent(QDragMoveEvent *event) {
    if (!Busy() && event->mimeData() && !FirstLocalFile(*event->mimeData()).empty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void TambrelMain::dropEvent(QDropEvent *event) {
    const std::string path = event->mimeData() ? FirstLocalFile(*event->mimeData()) : std::string();
    if (Busy() || path.empty()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The file manager waits for the drop to end: the load runs right after.
    QTimer::singleShot(0, this, [this, path] { LoadFromPath(path); });
}

void TambrelMain::IFF_DO_LOAD_IFF(const std::string &path) {
    BusyScope busy(*this);
    if (!FileExists(path)) {
        Tk().MessageBox("Error- File Doesn't Exist", MbOkOnly, MbCritical);
        picture_.LoadStatus = 0;
        return;
    }
    const KeyHold hold(*this);
    // The work surface holds the picture with a white margin; the preview is
    // its whole inner area stretched to 320 x 256. The worker draws it.
    QImage drawing;
    if (LoadInWorker(path, drawing) == 0)
        return;
    IFF_Show_Image_info(*picture1_);
    picture5_->SetBackColor(kWhite);
    picture5_->AdoptImage(std::move(drawing));
    picture6_->SetOuterSize(324, 259);
    picture6_->SetBackColor(kWhite);
    picture6_->Clear();
    Tk().Yield();
    picture6_->DrawScaledFrom(*picture5_,
                              QRect(0, 0, picture5_->InnerWidth(), picture5_->InnerHeight()),
                              QRect(0, 0, 320, 256));

    if (!picture_.HasBody()) {
        picture6_->SetBackColor(kWhite);
        picture6_->Clear();
        picture6_->SetBold(true);
        picture6_->SetForeColor(kNoticeColour);
        picture6_->PrintLine(
            QString::fromStdString("Can't render:" + UpperCase(picture_.LoadedName)));
        picture6_->PrintLine("Missing Image BODY hunk");
        picture6_->SetBold(false);
        Tk().Yield();
    }
    FollowInPictureWindow();
}

int TambrelMain::LoadInWorker(const std::string &path, QImage &drawing) {
    MemoryBudget budget(DefaultMemoryBudget(), true);
    LoadProgress decoded;
    std::atomic<std::int32_t> drawn{0};
    QEventLoop loop;
    int result = 0;
    std::exception_ptr failure;
    picture_.Progress = &decoded;
    std::thread worker([&] {
        try {
            const BudgetScope scope(budget, 0);
            result = LoadIffPicture(picture_, path, false);
            if (result != 0) {
                const QSize area = PictureArea(picture_);
                drawing = PictureImage(picture_, area.width() + 2, area.height() + 1, &drawn,
                                       &decoded.Cancel);
            }
        } catch (...) {
            failure = std::current_exception();
        }
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });
    // Loads that take a moment show their progress: a busy bar while the file
    // is read, then the rows decoded and drawn. The bar is set directly, as the
    // dialog's own setValue would take user input in the middle of the load.
    QProgressDialog progress(QString::fromStdString("Loading " + GetFileNameFromPath(path)),
                             QString(), 0, 0, this);
    auto *bar = new QProgressBar(&progress);
    bar->setRange(0, 0);
    progress.setBar(bar);
    // Not modal: the window stays closable, and closing it cancels the load.
    progress.setWindowModality(Qt::NonModal);
    progress.setMinimumDuration(500);
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, &progress, [&] {
        const int rows = decoded.Rows.load(std::memory_order_relaxed);
        if (rows <= 0)
            return;
        bar->setRange(0, 2 * rows);
        bar->setValue(std::min(decoded.RowsDone.load(std::memory_order_relaxed), rows) +
                      std::min(drawn.load(std::memory_order_relaxed), rows));
    });
    ticker.start(100);
    // Painting, timers and a close go on; KeyHold keeps the keys for later.
    loading_ = &decoded;
    loop.exec();
    worker.join();
    loading_ = nullptr;
    picture_.Progress = nullptr;
    if (failure)
        std::rethrow_exception(failure);
    return result;
}

} // namespace tambrel
