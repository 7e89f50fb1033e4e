#!/usr/bin/env bash
# Installs everything the build, the tests, the fuzzers and the benchmarks need on a fresh Debian
# machine, from Debian's own packages. Safe to run again: apt skips what is already there.
set -euo pipefail

if [ "$(id -u)" -ne 0 ]; then
  SUDO=sudo
else
  SUDO=
fi

stamp=/var/lib/tavix-deps.stamp
want_version=3
if [ -f "$stamp" ] && [ "$(cat "$stamp" 2>/dev/null)" = "$want_version" ] && [ -z "${TAVIX_FORCE_DEPS:-}" ]; then
  exit 0
fi

export DEBIAN_FRONTEND=noninteractive
$SUDO dpkg --add-architecture i386
$SUDO apt-get update -q
$SUDO apt-get install -y -q --no-install-recommends \
  build-essential cmake ninja-build pkg-config file zip unzip binutils \
  gcc-multilib g++-multilib \
  libcurl4-openssl-dev libcjson-dev \
  libcurl4-openssl-dev:i386 libcjson-dev:i386 \
  googletest libgtest-dev libbenchmark-dev libboost-dev \
  clang libclang-rt-14-dev llvm valgrind \
  iproute2 iptables nftables procps locales

# A Russian locale with a decimal comma: the tests prove the register still gets "12345.7".
if ! locale -a 2>/dev/null | grep -qi '^ru_RU\.utf-\?8$'; then
  $SUDO sed -i 's/^# *\(ru_RU.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ru_RU.UTF-8 UTF-8' /etc/locale.gen || echo 'ru_RU.UTF-8 UTF-8' | $SUDO tee -a /etc/locale.gen >/dev/null
  $SUDO locale-gen >/dev/null
fi

echo "$want_version" | $SUDO tee "$stamp" >/dev/null
