#!/usr/bin/env bash
# Installs what building and testing Pivotel needs on a Debian machine, skipping what is there.
set -euo pipefail

packages=(cmake ninja-build g++ python3 googletest libgtest-dev libbenchmark-dev
          g++-mingw-w64-x86-64 mingw-w64-tools wine wine64 xvfb xdotool x11-utils imagemagick
          fonts-ipafont-gothic locales procps clang libclang-rt-14-dev gcovr nsis)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
    "${sudo_cmd[@]}" apt-get update -q
    DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# Wine maps non-ASCII file names through the Linux locale and takes the system code page from it:
# ja_JP.UTF-8 (932) for the program's own locale, en_US.UTF-8 (1252) for the tests of another one.
for wanted in ja_JP en_US; do
    if ! locale -a 2>/dev/null | grep -qi "^$wanted\.utf-\?8$"; then
        sudo_cmd=()
        [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
        if grep -q "^# *$wanted.UTF-8 UTF-8" /etc/locale.gen 2>/dev/null; then
            "${sudo_cmd[@]}" sed -i "s/^# *$wanted.UTF-8 UTF-8/$wanted.UTF-8 UTF-8/" /etc/locale.gen
        else
            echo "$wanted.UTF-8 UTF-8" | "${sudo_cmd[@]}" tee -a /etc/locale.gen >/dev/null
        fi
        "${sudo_cmd[@]}" locale-gen
    fi
done
