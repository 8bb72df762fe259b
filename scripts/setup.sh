#!/bin/bash
# Installs everything a fresh Debian 12 machine needs to build and test
# Mirefold. Idempotent, and quiet when everything is already there.
set -euo pipefail

packages=(
  cmake make git ca-certificates ccache
  mingw-w64 g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  libz-mingw-w64-dev googletest
  wine wine32:i386 wine64 xvfb xauth x11-apps
  fonts-wqy-microhei fonts-noto-cjk fonts-wine locales
  nginx-light openssl osslsigncode python3 zip unzip curl aria2 libxml2-utils imagemagick time
  chromium
  clang libfuzzer-14-dev zlib1g-dev
)

# Windows tests that show Chinese in system-drawn controls run Wine in this
# locale (tools/testing/wine-env.sh, MF_WINE_LOCALE).
ensure_chinese_locale() {
  locale -a 2>/dev/null | grep -i '^zh_CN\.utf-\?8$' >/dev/null && return 0
  local SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO sed -i 's/^# *\(zh_CN.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  $SUDO locale-gen >/dev/null
}
trap ensure_chinese_locale EXIT

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep "install ok installed" >/dev/null; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "setup: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
if ! dpkg --print-foreign-architectures | grep -x i386 >/dev/null; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
# nginx is started by the tests themselves, on loopback ports of their own.
if command -v systemctl >/dev/null && systemctl is-active --quiet nginx 2>/dev/null; then
  $SUDO systemctl stop nginx || true
fi
echo "setup: done"
