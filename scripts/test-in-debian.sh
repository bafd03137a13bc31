#!/usr/bin/env bash
# Runs the whole test command (scripts/test.sh) inside a minimal Debian system of the given
# release, builds the package there, installs it with apt on a second, bare copy of that
# system and checks that the installed program opens its window on a virtual display.
#   scripts/test-in-debian.sh trixie     (Debian 13; bookworm for Debian 12)
#   scripts/test-in-debian.sh bookworm --install build/tolvani_10.0.2_amd64.deb
#     only installs a package built elsewhere (on a host of that release) on the bare system
#   scripts/test-in-debian.sh trixie --run 'bench/vv_vs_ffmpeg.sh'
#     only runs the command in the checkout inside the release, after the set-up
#     (scripts/setup.sh) and a build (scripts/build.sh), and prints what it prints
# Needs root (debootstrap, chroot, mounts). The minimal system (debootstrap --variant=minbase,
# about a minute) and the packages downloaded into it are kept in $TOLVANI_DEBIAN_CACHE
# (default /var/cache/tolvani-debian) for the next run. Each system runs in a mount
# namespace of its own (/proc, /dev, /sys and a private /tmp), so nothing stays mounted
# afterwards, whatever happens; the copies are removed at the end.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
checkout=$(cd "$here/.." && pwd)
release=${1:-}
given_deb=
run_command=
case "$release:${2:-}" in
  bookworm: | trixie:) ;;
  bookworm:--install | trixie:--install) given_deb=$(realpath "${3:?the package to install}") ;;
  bookworm:--run | trixie:--run) run_command=${3:?the command to run} ;;
  *) echo "usage: test-in-debian.sh bookworm|trixie [--install PACKAGE.deb | --run COMMAND]" >&2; exit 2 ;;
esac
[ "$(id -u)" -eq 0 ] || { echo "test-in-debian: needs root (debootstrap, chroot, mounts)" >&2; exit 1; }
mirror=${TOLVANI_DEBIAN_MIRROR:-http://deb.debian.org/debian}
cache=${TOLVANI_DEBIAN_CACHE:-/var/cache/tolvani-debian}
base=$cache/$release
archives=$cache/$release-archives
shared=$checkout/../shared

say() { echo "test-in-debian ($release): $*"; }
elapsed() { echo "$((SECONDS - $1)) s"; }

if ! command -v debootstrap >/dev/null || ! command -v unshare >/dev/null; then
  say "installing debootstrap"
  apt-get update -q
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends debootstrap util-linux
fi

# ---- the minimal system, made once and kept ----
t=$SECONDS
if [ ! -f "$base/.tolvani-complete" ]; then
  say "making a minimal Debian system with debootstrap"
  mkdir -p "$cache"
  rm -rf "$base.new"
  debootstrap --variant=minbase "$release" "$base.new" "$mirror" >"$cache/$release-debootstrap.log" 2>&1 ||
    { tail -n 20 "$cache/$release-debootstrap.log" >&2; rm -rf "$base.new"; exit 1; }
  touch "$base.new/.tolvani-complete"
  rm -rf "$base"
  mv "$base.new" "$base"
fi
mkdir -p "$archives/partial"
say "minimal system ready in $(elapsed "$t")"

work=$(mktemp -d "/var/tmp/tolvani-$release-XXXXXX")
cleanup() {
  # The mounts lived in the namespaces of the runs below and ended with them; never delete
  # through a mount that is somehow still there.
  if findmnt -rn -o TARGET | grep -q "^$work/"; then
    echo "test-in-debian: mounts remain under $work; left in place" >&2
    return
  fi
  rm -rf "$work"
}
trap cleanup EXIT

# A copy of the minimal system: the release's sources for apt and the host's name service.
new_system() {
  cp -a "$base" "$1"
  cp /etc/resolv.conf "$1/etc/resolv.conf"
  echo "deb $mirror $release main" >"$1/etc/apt/sources.list"
}

# in_system ROOT COMMAND...: runs the command as root inside the system, in a mount
# namespace of its own, with apt's downloads kept in the cache.
in_system() {
  local root=$1
  shift
  unshare --mount --propagation private -- bash -euc '
    root=$1 archives=$2
    shift 2
    mount -t proc proc "$root/proc"
    mount --rbind /dev "$root/dev"
    mount -t sysfs sysfs "$root/sys"
    mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
    mount --bind "$archives" "$root/var/cache/apt/archives"
    exec chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
      HOME=/root LANG=C.UTF-8 CI="${CI:-}" "$@"' in_system "$root" "$archives" "$@"
}

# A copy of the minimal system with the checkout as it stands (without build folders) in
# /src/tolvani and the shared files beside it.
system_with_checkout() {
  new_system "$1"
  mkdir -p "$1/src/tolvani"
  tar -C "$checkout" --exclude='./build' --exclude='./build-*' -cf - . | tar -C "$1/src/tolvani" -xf -
  if [ -d "$shared" ]; then cp -a "$shared" "$1/src/shared"; fi
}

# ---- one command inside the release, after the set-up and a build ----
if [ -n "$run_command" ]; then
  t=$SECONDS
  system_with_checkout "$work/run"
  say "setting up and building"
  in_system "$work/run" bash -c 'cd /src/tolvani && scripts/setup.sh >/dev/null && scripts/build.sh >/dev/null'
  say "set up and built in $(elapsed "$t"); running: $run_command"
  in_system "$work/run" bash -c "cd /src/tolvani && $run_command"
  exit
fi

# ---- the whole test command inside the release, and the package it builds ----
suite_and_package() {
  local t=$SECONDS build=$work/build
  system_with_checkout "$build"
  say "running scripts/test.sh"
  in_system "$build" bash -c 'cd /src/tolvani && scripts/test.sh'
  say "scripts/test.sh passed in $(elapsed "$t")"
  in_system "$build" bash -c 'cd /src/tolvani/build && cpack -G DEB >/dev/null'
  deb=$(cd "$build/src/tolvani/build" && ls tolvani_*.deb)
  cp "$build/src/tolvani/build/$deb" "$work/"
  rm -rf "$build"  # the room is needed for the bare system
}
if [ -n "$given_deb" ]; then
  deb=$(basename "$given_deb")
  cp "$given_deb" "$work/"
else
  suite_and_package
fi
say "$deb depends on: $(dpkg-deb -f "$work/$deb" Depends)"

# ---- the package on a bare system of the same release ----
bare=$work/bare
new_system "$bare"
cp "$work/$deb" "$bare/root/"
cp "$checkout/tests/opens_window.sh" "$bare/root/"
t=$SECONDS
say "installing $deb on a bare system"
in_system "$bare" bash -euc "
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q >/dev/null
  apt-get install -y -q --no-install-recommends ./root/$deb >/dev/null
  # What the check needs, not the program: a virtual display and a window finder.
  apt-get install -y -q --no-install-recommends xvfb xauth xdotool >/dev/null
  /root/opens_window.sh /usr/bin/tolvani"
say "the installed program opened its window; package part took $(elapsed "$t")"
