# Shared by scripts/build-windows and the Windows pass of scripts/test: the packages, FFmpeg and x264 built for
# Windows from Debian's source packages into a cache folder named by their versions, and Wine for the tests.
# shellcheck shell=bash

TOLM_MINGW=x86_64-w64-mingw32
# The built libraries outlive the build folders and scripts/test's private cache folder; git ignores them.
TOLM_WINDOWS_DEPS_ROOT=${TOLM_WINDOWS_DEPS_ROOT:-$TOLM_ROOT/deps}
# Where the source packages are downloaded; files already there are used as they are.
TOLM_WINDOWS_SOURCES=${TOLM_WINDOWS_SOURCES:-$TOLM_WINDOWS_DEPS_ROOT/sources}

_tolm_as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}

# Makes Debian's source packages known to apt: a deb-src entry beside each deb entry the machine installs from,
# in a file of our own, unless some deb-src entry is there already.
_tolm_windows_source_entries() {
    local file
    if ! grep -qsE '^\s*(deb-src\s|Types:.*\bdeb-src\b)' /etc/apt/sources.list /etc/apt/sources.list.d/*.list \
        /etc/apt/sources.list.d/*.sources; then
        file=/etc/apt/sources.list.d/tolm-src.sources
        tolm_log "adding Debian's source packages to apt in $file"
        # Each deb822 stanza of type deb again as deb-src; one-line entries become stanzas too.
        {
            cat /etc/apt/sources.list.d/*.sources 2>/dev/null |
                awk '/^Types:/ { keep = ($0 ~ /[ \t]deb([ \t]|$)/); if (keep) print "\nTypes: deb-src"; next }
                     /^[ \t]*$/ { if (keep) print ""; keep = 0; next }
                     keep && !/^#/ { print }'
            grep -shE '^\s*deb\s' /etc/apt/sources.list /etc/apt/sources.list.d/*.list |
                sed -E 's/^\s*deb\s+(\[[^]]*\]\s+)?(\S+)\s+(\S+)\s+(.*)$/Types: deb-src\nURIs: \2\nSuites: \3\nComponents: \4\n/'
        } | _tolm_as_root tee "$file" >/dev/null
        _tolm_as_root apt-get update -qq
    elif ! apt-get source --print-uris -qq ffmpeg >/dev/null 2>&1; then
        _tolm_as_root apt-get update -qq
    fi
}

# The packages, Debian's source entries and the cross compilers' posix flavour.
tolm_windows_install() {
    tolm_install_packages "$TOLM_ROOT/scripts/packages-windows.txt"
    _tolm_windows_source_entries
}

# The .dsc file name of the source package apt would fetch for PACKAGE.
_tolm_source_dsc() {
    apt-get source --print-uris -qq "$1" 2>/dev/null | awk '$2 ~ /\.dsc$/ { print $2; exit }'
}

# _tolm_unpack PACKAGE DSC WORK: downloads the source package (unless it is there) and unpacks it with Debian's
# patches applied into WORK/PACKAGE.
_tolm_unpack() {
    local package=$1 dsc=$2 work=$3
    mkdir -p "$TOLM_WINDOWS_SOURCES"
    if [ ! -f "$TOLM_WINDOWS_SOURCES/$dsc" ]; then
        tolm_log "downloading the source package $package"
        (cd "$TOLM_WINDOWS_SOURCES" && apt-get source --download-only -qq "$package" >/dev/null 2>&1)
    fi
    (cd "$work" && dpkg-source --no-check -x "$TOLM_WINDOWS_SOURCES/$dsc" "$package" >/dev/null)
}

# _tolm_build_x264 SOURCE PREFIX: the static library, 8 bits per sample (what the H.264 entry encodes).
_tolm_build_x264() {
    (cd "$1" &&
        CC=$TOLM_MINGW-gcc-posix ./configure --host=$TOLM_MINGW --cross-prefix=$TOLM_MINGW- --prefix="$2" \
            --enable-static --disable-cli --disable-opencl --bit-depth=8 --disable-avs --disable-swscale \
            --disable-lavf --disable-ffms --disable-gpac --disable-lsmash &&
        make -j "$(nproc)" && make install-lib-static)
}

# _tolm_build_ffmpeg SOURCE PREFIX: static libraries with only what platform/ffmpeg and the tests use: the
# encoders of the compressor list (platform/ffmpeg/CodecCatalog.cpp) and the sound formats, their decoders (the
# save re-encodes, tests read back), the AVI, MP4, Matroska and WAVE files, the H.264 extradata filter.
_tolm_build_ffmpeg() {
    local video=msvideo1,mjpeg,zmbv,huffyuv,ffvhuff,utvideo,mpeg4,cinepak,png,rawvideo
    local sound=aac,pcm_u8,pcm_s16le,pcm_s24le,pcm_s32le,pcm_f32le,pcm_f64le
    (cd "$1" &&
        PKG_CONFIG_LIBDIR="$2/lib/pkgconfig" ./configure --prefix="$2" --enable-cross-compile \
            --target-os=mingw32 --arch=x86_64 --cross-prefix=$TOLM_MINGW- --cc=$TOLM_MINGW-gcc-posix \
            --cxx=$TOLM_MINGW-g++-posix --pkg-config=pkg-config --pkg-config-flags=--static \
            --enable-static --disable-shared --enable-gpl --disable-programs --disable-doc --disable-debug \
            --disable-autodetect --enable-w32threads --enable-zlib --enable-libx264 \
            --disable-everything --disable-avdevice --disable-avfilter --disable-postproc --disable-network \
            --enable-swscale --enable-swresample \
            --enable-encoder="$video,libx264,$sound" --enable-decoder="$video,h264,$sound" \
            --enable-muxer=avi,mp4,matroska,wav --enable-demuxer=avi,mov,matroska,wav \
            --enable-parser=h264,mpeg4video,mjpeg,png,aac --enable-bsf=extract_extradata --enable-protocol=file &&
        make -j "$(nproc)" && make install)
    # A second configuration goes here when the peer benchmark wants FFmpeg's own program with its GDI grabber
    # (--enable-ffmpeg --enable-indev=gdigrab --enable-demuxer=... on the same source): in a cache folder of its
    # own beside this one, so that the libraries above stay as lean as they are.
}

# Prints the folder FFmpeg and x264 for Windows are installed in, building them first when the cache has no
# folder for these versions and this recipe.
tolm_windows_deps() {
    local ffmpeg x264 recipe name prefix work
    ffmpeg=$(_tolm_source_dsc ffmpeg)
    x264=$(_tolm_source_dsc x264)
    if [ -z "$ffmpeg" ] || [ -z "$x264" ]; then
        tolm_log "apt knows no source package of ffmpeg or x264"
        return 1
    fi
    recipe=$(declare -f _tolm_build_x264 _tolm_build_ffmpeg | sha1sum | cut -c1-8)
    name=windows-${ffmpeg%.dsc}-${x264%.dsc}-$recipe
    prefix=$TOLM_WINDOWS_DEPS_ROOT/$name
    if [ ! -f "$prefix/lib/pkgconfig/libavcodec.pc" ]; then
        local started=$SECONDS
        tolm_log "building FFmpeg and x264 for Windows into $prefix"
        work=$TOLM_WINDOWS_DEPS_ROOT/work-$name
        rm -rf "$work" "$prefix.partial"
        mkdir -p "$work"
        _tolm_unpack x264 "$x264" "$work"
        _tolm_unpack ffmpeg "$ffmpeg" "$work"
        # Installed into a folder of another name first, so that a build cut short is never taken for the cache.
        if ! _tolm_build_x264 "$work/x264" "$prefix.partial" >"$work/x264.log" 2>&1; then
            tail -20 "$work/x264.log" >&2
            return 1
        fi
        if ! _tolm_build_ffmpeg "$work/ffmpeg" "$prefix.partial" >"$work/ffmpeg.log" 2>&1; then
            tail -20 "$work/ffmpeg.log" >&2
            return 1
        fi
        # The .pc files name the folder they were installed in; named from their own place instead, the cache
        # can be moved or shared between checkouts.
        sed -i "s|$prefix.partial|\${pcfiledir}/../..|g" "$prefix.partial"/lib/pkgconfig/*.pc
        mv "$prefix.partial" "$prefix"
        rm -rf "$work"
        tolm_log "FFmpeg and x264 for Windows: $((SECONDS - started)) s"
    fi
    echo "$prefix"
}

# A private Wine prefix for this shell (made on the first start, reused by every later one) with nothing but
# the console's output: tolm_stop_wine ends its server and removes it.
TOLM_WINE_PREFIX=""
tolm_start_wine() {
    TOLM_WINE_PREFIX=$(mktemp -d /tmp/tolm-wine.XXXXXX)
    export WINEPREFIX=$TOLM_WINE_PREFIX WINEDEBUG=-all WINEARCH=win64
    # No offer to install Mono or Gecko into the prefix.
    export WINEDLLOVERRIDES="mscoree,mshtml="
    # Debian keeps wine64 in Wine's library folder, off the PATH.
    "$(command -v wine64 || echo /usr/lib/wine/wine64)" wineboot --init >/dev/null 2>&1
}

tolm_stop_wine() {
    if [ -n "$TOLM_WINE_PREFIX" ]; then
        WINEPREFIX=$TOLM_WINE_PREFIX wineserver -k 2>/dev/null || true
        WINEPREFIX=$TOLM_WINE_PREFIX wineserver -w 2>/dev/null || true
        rm -rf "$TOLM_WINE_PREFIX"
        TOLM_WINE_PREFIX=""
    fi
}
