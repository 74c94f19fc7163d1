#include "dialogs/dialog_backend.h"

#include "dialogs/qt_dialog_backend.h"

namespace tambrel {

namespace {
DialogBackend *g_backend = nullptr;

DialogBackend &QtBackend() {
    static QtDialogBackend backend;
    return backend;
}
} // namespace

void SetDialogBackend(DialogBackend *backend) {
    g_backend = backend;
}

DialogBackend &CurrentDialogBackend() {
    return g_backend ? *g_backend : QtBackend();
}

ScopedDialogBackend::ScopedDialogBackend(DialogBackend &backend) : previous_(g_backend) {
    g_backend = &backend;
}

ScopedDialogBackend::~ScopedDialogBackend() {
    g_backend = previous_;
}

} // namespace tambrel
