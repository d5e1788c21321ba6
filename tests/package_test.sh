#!/usr/bin/env bash
# Builds the Debian package from a built tree, installs it with apt-get, checks
# its dependencies and what it put where, runs the installed program to its
# window on a private Xvfb server, then removes the package again.
# Usage: package_test.sh BUILD_DIR WITH_XVFB. Installing needs root: as anyone
# else it exits 77, which ctest reports as skipped.
set -euo pipefail

build=$1
withXvfb=$2

if [[ $(id -u) -ne 0 ]]; then
  echo "Skipped: installing a package needs root"
  exit 77
fi

installed() { dpkg-query -W -f='${Status}' halocyne 2>/dev/null | grep -q "ok installed"; }
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

if installed; then
  fail "a halocyne package is installed already; remove it (apt-get remove halocyne) first"
fi

work=$(mktemp -d)
cleanup() {
  if installed; then
    DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq halocyne >/dev/null
  fi
  rm -rf "$work"
}
trap cleanup EXIT
# apt reads local packages as its own unprivileged user.
chmod 755 "$work"

# The package and cpack's staging tree go to $work, not into the build tree.
(cd "$build" && cpack -G DEB -B "$work" >"$work/cpack.log" 2>&1) || {
  cat "$work/cpack.log" >&2
  fail "cpack -G DEB"
}
packages=("$work"/halocyne_*.deb)
[[ ${#packages[@]} -eq 1 && -f ${packages[0]} ]] || fail "no single halocyne_*.deb: ${packages[*]}"
package=${packages[0]}
echo "Package: $(basename "$package"), $(stat -c %s "$package") bytes"

# dpkg-shlibdeps works the dependencies out from the libraries the binary links.
depends=$(dpkg-deb -f "$package" Depends)
echo "Depends: $depends"
for library in libglut3.12 libc6; do
  tr ',|' '\n' <<<"$depends" | awk '{ print $1 }' | grep -qx "$library" ||
    fail "Depends lacks $library"
done

DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$package" \
  >"$work/apt.log" 2>&1 || {
  cat "$work/apt.log" >&2
  fail "apt-get install"
}
installed || fail "halocyne is not installed after apt-get install"

# Slim Debian images tell dpkg to leave out manual pages and the like: such a
# file is only looked for in the package.
droppedByDpkg() {
  local pattern
  while read -r pattern; do
    # shellcheck disable=SC2053 # the pattern is a glob on purpose
    [[ $1 == $pattern ]] && return 0
  done < <(sed -n 's/^path-exclude[= ]*//p' /etc/dpkg/dpkg.cfg.d/* 2>/dev/null)
  return 1
}
contents=$(dpkg-deb -c "$package" | awk '{ print substr($6, 2) }')
present() {
  if droppedByDpkg "$1"; then
    grep -qx "$1" <<<"$contents"
  else
    [[ -f $1 ]]
  fi
}

binary=/usr/bin/halocyne
desktopFile=/usr/share/applications/halocyne.desktop
manPage=/usr/share/man/man6/halocyne.6
for file in "$binary" "$desktopFile" "$manPage" /usr/share/icons/hicolor/256x256/apps/halocyne.png; do
  present "$file" || fail "$file is not installed"
done
[[ -x $binary ]] || fail "$binary is not executable"

desktop-file-validate "$desktopFile" || fail "desktop-file-validate $desktopFile"
grep -qx 'Exec=halocyne' "$desktopFile" || fail "$desktopFile does not start halocyne"
grep -qx 'Icon=halocyne' "$desktopFile" || fail "$desktopFile does not name the halocyne icon"

# Each icon is a PNG of the size its directory names.
icons=0
for icon in /usr/share/icons/hicolor/*/apps/halocyne.png; do
  [[ -f $icon ]] || continue
  size=$(basename "$(dirname "$(dirname "$icon")")")
  file -b "$icon" | grep -q "^PNG image data, ${size/x/ x }," || fail "$icon is not a $size PNG"
  icons=$((icons + 1))
done
echo "Icons: $icons"

if ! droppedByDpkg "$manPage"; then
  [[ $(man -w halocyne) == "$manPage"* ]] || fail "man -w halocyne finds $(man -w halocyne)"
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$manPage" 2>&1 >/dev/null)
  [[ -z $warnings ]] || fail "man page warnings: $warnings"
fi

# The installed program opens its window and draws on, printing nothing.
runInstalled() {
  local binary=$1 log=$2
  "$binary" >"$log" 2>&1 &
  local program=$!
  local geometry=""
  for _ in $(seq 600); do
    geometry=$(xwininfo -name Halocyne 2>/dev/null | awk '/Width:|Height:/ { printf "%s ", $2 }') || true
    [[ -n $geometry ]] && break
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  [[ -n $geometry ]] || {
    echo "no window titled Halocyne" >&2
    return 1
  }
  [[ $geometry == "800 640 " ]] || {
    echo "window is ${geometry}instead of 800 640" >&2
    return 1
  }
  sleep 2
  kill -0 "$program" 2>/dev/null || {
    echo "$binary ended on its own" >&2
    return 1
  }
  kill "$program"
  wait "$program" || true
}
export -f runInstalled
"$withXvfb" bash -c 'runInstalled "$@"' runInstalled "$binary" "$work/run.log" ||
  fail "running $binary"
[[ ! -s $work/run.log ]] || fail "$binary printed: $(cat "$work/run.log")"

DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq halocyne >/dev/null
! installed || fail "halocyne is still installed after apt-get remove"
[[ ! -e $binary ]] || fail "$binary is left after apt-get remove"
echo "PASS"
