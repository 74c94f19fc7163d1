#!/usr/bin/env bash
# Installs the four Debian packages built by dpkg-buildpackage, checks them
# while installed, purges them again and checks that the system's generated
# databases are as they were before: gdk-pixbuf's loader cache, the shared
# MIME database, the hicolor icon cache and the desktop entries' MIME cache.
# While installed: the loader cache lists the loader, gdk-pixbuf-thumbnailer
# makes a thumbnail of an IFF picture, tambrel-convert writes the BMP recorded
# in samples/expected, the desktop and icon caches know the program.
# With --screenshot, also shows the picture in a Qt 5 viewer (qimgv or
# gwenview, whichever is installed; neither is a dependency) under Xvfb and
# openbox, through the installed Qt 5 plugin, into docs/screenshots/qt5-viewer.png.
# Needs root (dpkg) and none of the four packages installed beforehand.
#   scripts/check_packages.sh [--screenshot] [DEB_DIR] [PICTURE]
#   (default: the parent folder of the checkout, samples/ham8.iff)
set -euo pipefail
cd "$(dirname "$0")/.."
screenshot=false
if [[ ${1:-} == --screenshot ]]; then
    screenshot=true
    shift
fi
deb_dir=$(realpath "${1:-..}")
picture=$(realpath "${2:-samples/ham8.iff}")
packages=(tambrel tambrel-gdk-pixbuf-loader tambrel-qt5-image-plugin tambrel-qt6-image-plugin)
arch=$(dpkg --print-architecture)
multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH)

fail() {
    echo "check_packages: $*" >&2
    exit 1
}
[[ $(id -u) -eq 0 ]] || fail "needs root, to install the packages"
debs=()
for p in "${packages[@]}"; do
    # The newest build of each package in DEB_DIR.
    deb=$(ls -t "$deb_dir"/"${p}"_*_"$arch".deb 2>/dev/null | head -n1 || true)
    [[ -n $deb ]] || fail "no ${p}_*_$arch.deb in $deb_dir (build them with dpkg-buildpackage -us -uc -b)"
    debs+=("$deb")
    if [[ $(dpkg-query -W -f='${Status}' "$p" 2>/dev/null) == *installed* ]]; then
        fail "$p is installed already; purge it first, so that the state before is the system's own"
    fi
done

loaders_cache=/usr/lib/$multiarch/gdk-pixbuf-2.0/2.10.0/loaders.cache
icon_cache=/usr/share/icons/hicolor/icon-theme.cache
desktop_cache=/usr/share/applications/mimeinfo.cache
work=$(mktemp -d)
installed=false
cleanup() {
    kill $(jobs -p) 2>/dev/null || true
    if $installed; then dpkg --purge "${packages[@]}" >/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

# SHA-256 of every generated file: the caches and the whole MIME database
# (Tambrel adds no MIME definition of its own, so none of it may change).
snapshot() {
    {
        sha256sum "$loaders_cache" "$icon_cache" "$desktop_cache" 2>&1 || true
        find /usr/share/mime -type f -print0 | sort -z | xargs -0 sha256sum
    } >"$1"
}

snapshot "$work/before"
echo "before: $(wc -l <"$work/before") files checksummed"

start=$(date +%s)
installed=true
dpkg -i "${debs[@]}" >"$work/install.log" 2>&1 || { cat "$work/install.log"; fail "dpkg -i failed"; }
dpkg --triggers-only --pending
echo "installed: ${debs[*]##*/}"

# While installed.
grep -q "libpixbufloader-tambrel.so" "$loaders_cache" || fail "the loader cache does not list the loader"
grep -q '"image/x-ilbm"' "$loaders_cache" || fail "the loader cache does not list image/x-ilbm"
echo "loader cache: lists libpixbufloader-tambrel.so for image/x-ilbm"
gdk-pixbuf-thumbnailer -s 128 "$picture" "$work/thumb.png" || fail "gdk-pixbuf-thumbnailer failed"
size=$(identify -format '%m %wx%h' "$work/thumb.png")
[[ $size =~ ^PNG\ ([0-9]+)x([0-9]+)$ ]] || fail "the thumbnail is no PNG: $size"
((BASH_REMATCH[1] == 128 || BASH_REMATCH[2] == 128)) || fail "the thumbnail is $size, not 128 on its longer side"
# A picture that is one colour would mean the loader gave nothing back.
colours=$(identify -format '%k' "$work/thumb.png")
((colours > 16)) || fail "the thumbnail has only $colours colours"
echo "gdk-pixbuf-thumbnailer: $(basename "$picture") -> $size, $colours colours"
# The installed converter writes the BMP recorded for a picture of samples/.
name=$(basename "${picture%.*}")
if [[ -f samples/expected/$name.bmp.sha256 ]]; then
    mkdir "$work/bmp"
    tambrel-convert -o "$work/bmp" "$picture" >/dev/null
    read -r want _ <"samples/expected/$name.bmp.sha256"
    read -r got _ < <(sha256sum "$work/bmp/$name.bmp")
    [[ $got == "$want" ]] || fail "tambrel-convert wrote $got for $name.bmp, expected $want"
    echo "tambrel-convert: $name.bmp as in samples/expected"
fi
grep -q "tambrel.desktop" "$desktop_cache" || fail "the desktop MIME cache does not list tambrel.desktop"
grep -aq "tambrel" "$icon_cache" || fail "the icon cache does not hold the program's icon"
echo "desktop MIME cache and icon cache: list the program"
plugin5=/usr/lib/$multiarch/qt5/plugins/imageformats/libtambrel-ilbm.so
plugin6=/usr/lib/$multiarch/qt6/plugins/imageformats/libtambrel-ilbm.so
[[ -f $plugin5 && -f $plugin6 ]] || fail "an image plugin is missing: $plugin5 $plugin6"

if $screenshot; then
    viewer=$(command -v qimgv || command -v gwenview || true)
    [[ -n $viewer ]] || fail "--screenshot needs qimgv or gwenview"
    grep -q libQt5Gui <(ldd "$viewer") || fail "$viewer is not a Qt 5 program"
    export DISPLAY=:96 HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config"
    mkdir -p "$XDG_CONFIG_HOME"
    Xvfb "$DISPLAY" -screen 0 640x480x24 -nolisten tcp &
    sleep 1
    openbox &
    sleep 1
    # A copy in a folder of its own: the viewer lists the picture's folder.
    mkdir "$work/shown"
    cp "$picture" "$work/shown/"
    QT_DEBUG_PLUGINS=1 "$viewer" "$work/shown/$(basename "$picture")" >"$work/viewer.log" 2>&1 &
    pid=$!
    window=$(xdotool search --sync --onlyvisible --pid "$pid" | head -n1)
    # Nearly the whole screen, with openbox's title bar naming the file; the
    # wait lets a first-run greeting fade.
    xdotool windowmove "$window" 1 20 windowsize "$window" 638 459
    sleep 6
    grep -q "$plugin5" "$work/viewer.log" || fail "$viewer did not load $plugin5"
    import -window root "$work/shot.png"
    kill "$pid"
    mkdir -p docs/screenshots
    convert "$work/shot.png" -strip -define png:compression-level=9 docs/screenshots/qt5-viewer.png
    echo "screenshot: $(basename "$viewer") loaded $plugin5 -> docs/screenshots/qt5-viewer.png"
fi

dpkg --purge "${packages[@]}" >"$work/purge.log" 2>&1 || { cat "$work/purge.log"; fail "dpkg --purge failed"; }
dpkg --triggers-only --pending
installed=false
echo "purged in all $(($(date +%s) - start)) s after installing"

snapshot "$work/after"
if ! diff -u "$work/before" "$work/after"; then
    fail "the generated databases differ from before the install"
fi
echo "after: loader cache, MIME database, icon cache and desktop MIME cache as before"
