#!/usr/bin/env bash
# package_test.sh BUILD_DIR FFMPEG
#
# Makes the Debian package from an already built tree (cpack: no rebuild), checks it with
# lintian (no errors), unpacks it into a scratch root with dpkg -x and runs both programs from
# there, with nothing pointing them at their resources. Exits 77 (skipped) when not run as root
# or when the Debian tools are missing.
set -euo pipefail

build=$1
ffmpeg=$2

skip() {
    echo "SKIPPED: $*"
    exit 77
}
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

[ "$(id -u)" -eq 0 ] || skip "the package test runs as root only (it builds and unpacks a system package)"
for tool in cpack dpkg-deb dpkg-shlibdeps lintian; do
    command -v "$tool" >/dev/null || skip "$tool is not installed (scripts/setup-deps installs it)"
done

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT

# --- build ---------------------------------------------------------------------------------
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$scratch/out" >"$scratch/cpack.log" 2>&1 ||
    { cat "$scratch/cpack.log"; fail "cpack could not make the package"; }
debs=("$scratch"/out/vellinor_*_*.deb)
[ ${#debs[@]} -eq 1 ] && [ -f "${debs[0]}" ] || fail "cpack made no vellinor_<version>_<arch>.deb"
deb=${debs[0]}
version=$(dpkg-deb -f "$deb" Version)
arch=$(dpkg --print-architecture)
[ "$(basename "$deb")" = "vellinor_${version}_${arch}.deb" ] || fail "unexpected name $(basename "$deb")"
echo "made $(basename "$deb") ($(stat -c %s "$deb") bytes)"

# Depends: the libraries from dpkg-shlibdeps, and ffmpeg when the probe tool is a link to its
# ffprobe.
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
needs=(libc6 libqt6widgets6 libavformat)
if dpkg-deb -c "$deb" | grep -q "/usr/share/vellinor/sniffer -> .*bin/ffprobe$"; then
    needs+=(ffmpeg)
fi
for needed in "${needs[@]}"; do
    [[ ", $depends" == *", $needed"* ]] || fail "Depends lacks $needed"
done

# --- lintian -------------------------------------------------------------------------------
status=0
tags=$(lintian --fail-on error --display-info "$deb" 2>&1) || status=$?
echo "lintian (errors fail, warnings and notes are shown):"
grep -v "running with root privileges" <<<"$tags" || true
[ $status -eq 0 ] || fail "lintian reports errors"

# --- unpack and run ------------------------------------------------------------------------
root=$scratch/root
dpkg -x "$deb" "$root"
for file in usr/bin/vellinor usr/bin/vellinor-cli usr/share/vellinor/pnf.jpg \
    usr/share/man/man1/vellinor.1.gz usr/share/man/man1/vellinor-cli.1.gz \
    usr/share/bash-completion/completions/vellinor-cli \
    usr/share/zsh/vendor-completions/_vellinor-cli \
    usr/share/fish/vendor_completions.d/vellinor-cli.fish \
    usr/share/applications/vellinor.desktop usr/share/metainfo/vellinor.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/vellinor.svg \
    usr/share/doc/vellinor/copyright usr/share/doc/vellinor/changelog.gz; do
    [ -e "$root/$file" ] || fail "the package lacks /$file"
done
gzip -t "$root"/usr/share/man/man1/*.gz "$root/usr/share/doc/vellinor/changelog.gz"
zcat "$root/usr/share/doc/vellinor/changelog.gz" | head -n 1 | grep -q "^vellinor ($version) " ||
    fail "the changelog's latest entry is not version $version"

# The probe tool may be a link to ffprobe from the ffmpeg package, a dependency that is not in
# this scratch root: stand the system's ffprobe in for it there.
sniffer=$root/usr/share/vellinor/sniffer
if [ -L "$sniffer" ] && [ ! -e "$sniffer" ]; then
    target=$(readlink "$sniffer")
    case $target in
        /*) fail "the probe tool links outside the package to $target, which is missing" ;;
    esac
    stand_in=$(realpath -m "$(dirname "$sniffer")/$target")
    [[ $stand_in == "$root"/usr/bin/ffprobe ]] || fail "the probe tool links to $target"
    mkdir -p "$(dirname "$stand_in")"
    ln -s "$(command -v ffprobe)" "$stand_in"
fi

unset VELLINOR_RESOURCE_DIR
clip=$scratch/clip.mkv
"$ffmpeg" -y -v error -nostdin -f lavfi -i testsrc=size=64x48:rate=10:duration=1 \
    -f lavfi -i sine=frequency=440:duration=1 -c:v mpeg4 -c:a flac "$clip"
record=$("$root/usr/bin/vellinor-cli" --record "$clip") || fail "vellinor-cli failed on a media file"
for expected in '"isValidMediaFile": true' '"numberOfTracks": 2' '"toolProblem": null'; do
    grep -qF "$expected" <<<"$record" || fail "the record lacks $expected: $record"
done
echo "vellinor-cli: a record of $clip"
rates=$("$root/usr/bin/vellinor-cli" --bitrate "$clip") || fail "vellinor-cli --bitrate failed: $rates"
grep -q "^0,video,0," <<<"$rates" || fail "vellinor-cli --bitrate printed: $rates"
echo "vellinor-cli --bitrate: bit rates of $clip"

resources=$(QT_QPA_PLATFORM=offscreen "$root/usr/bin/vellinor" --check-resources) ||
    fail "vellinor --check-resources: $resources"
expected="sniffer: $root/usr/share/vellinor/sniffer
pnf.jpg: $root/usr/share/vellinor/pnf.jpg"
[ "$resources" = "$expected" ] || fail "vellinor --check-resources printed: $resources"
echo "vellinor --check-resources:"
echo "$resources"
