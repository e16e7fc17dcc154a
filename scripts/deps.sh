#!/usr/bin/env bash
# Installs, with apt-get, everything the project needs on a fresh Debian 12
# machine. Idempotent: does nothing (and asks no registry) when all is present.
set -euo pipefail

native_pkgs=(g++ cmake make libgtest-dev valgrind clang-format clang libclang-rt-dev)
# strace: a Wine scenario sees the log's flushes as the fsync calls they become. jq: the
# --json scenarios parse every line with a real JSON parser.
windows_pkgs=(mingw-w64 wine wine64 fonts-wine xvfb x11-utils imagemagick strace jq)
# The release zip: its packer, the user guide's renderer, and the unpacker its test uses.
release_pkgs=(zip unzip cmark-gfm)
# wine32 must be in place before the first Wine prefix is created.
i386_pkgs=(wine32:i386)

missing=()
for p in "${native_pkgs[@]}" "${windows_pkgs[@]}" "${release_pkgs[@]}" "${i386_pkgs[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "deps: installing ${missing[*]}"
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
export DEBIAN_FRONTEND=noninteractive
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $SUDO dpkg --add-architecture i386
fi
$SUDO apt-get update -qq
$SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
echo "deps: done"
