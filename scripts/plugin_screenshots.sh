#!/usr/bin/env bash
# Screenshots of a GTK program and a Qt program reading an IFF picture through
# the installed plugins: cmake --install into a temporary prefix, a loader
# cache for the gdk-pixbuf module there, QT_PLUGIN_PATH at the Qt plugin, then
# eog (the GNOME image viewer; install it yourself, it is not a dependency)
# and a minimal QImageReader viewer under Xvfb with openbox.
# Writes docs/screenshots/gtk-viewer.png and docs/screenshots/qt-viewer.png.
#   scripts/plugin_screenshots.sh [build-dir] [picture]   (default: build, samples/ham8.iff)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
picture=$(realpath "${2:-samples/ham8.iff}")
command -v eog >/dev/null || { echo "plugin_screenshots: eog is not installed" >&2; exit 1; }
cmake --build "$build" --target pixbufloader-tambrel tambrel-ilbm tambrel_qt_viewer -j 2

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
prefix="$work/prefix"
cmake --install "$build/plugins/gdk-pixbuf" --prefix "$prefix" >/dev/null
cmake --install "$build/plugins/qt" --prefix "$prefix" >/dev/null
query=$(pkg-config --variable=gdk_pixbuf_query_loaders gdk-pixbuf-2.0)
system_dir=$(pkg-config --variable=gdk_pixbuf_moduledir gdk-pixbuf-2.0)
# Debian's own loaders and ours, in one cache.
"$query" "$system_dir"/*.so "$prefix"/lib/*/gdk-pixbuf-2.0/2.10.0/loaders/*.so >"$work/loaders.cache"
export GDK_PIXBUF_MODULE_FILE="$work/loaders.cache"
export QT_PLUGIN_PATH=$(dirname "$(find "$prefix" -path '*imageformats/*.so' | head -n1)")/..

export DISPLAY=:97
Xvfb "$DISPLAY" -screen 0 1024x768x24 -nolisten tcp &
sleep 1
openbox &
sleep 1
out=docs/screenshots
mkdir -p "$out"

shoot() { # name, window title pattern, command...
    local name=$1 title=$2
    shift 2
    "$@" &
    local pid=$!
    xdotool search --sync --onlyvisible --name "$title" >/dev/null
    sleep 2
    import -window root "$work/$name.png"
    kill "$pid"
    convert "$work/$name.png" -strip -define png:compression-level=9 "$out/$name.png"
}
shoot gtk-viewer "$(basename "$picture")" env GTK_THEME=Adwaita eog --new-instance "$picture"
shoot qt-viewer "$(basename "$picture")" "$build/tests/formats/tambrel_qt_viewer" "$picture"
ls -l "$out/gtk-viewer.png" "$out/qt-viewer.png"
