// Writes the icon as PNG files: make_icons OUTDIR SIZE... gives OUTDIR/SIZExSIZE/tambrel.png.
#include "icon_painter.h"

#include <QDir>
#include <QString>
#include <cstdio>

int main(int argc, char **argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_icons OUTDIR SIZE...\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i) {
        const int size = QString::fromLatin1(argv[i]).toInt();
        const QString dir = QStringLiteral("%1/%2x%2").arg(out).arg(size);
        if (size <= 0 || !QDir().mkpath(dir) ||
            !DrawTambrelIcon(size).save(dir + QStringLiteral("/tambrel.png"))) {
            std::fprintf(stderr, "make_icons: cannot write the %s icon\n", argv[i]);
            return 1;
        }
    }
    return 0;
}
