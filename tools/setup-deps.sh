#!/usr/bin/env bash
# Installs, with apt-get, the Debian packages that a step of the project
# needs and that this machine lacks; does nothing when none is missing.
#
#   tools/setup-deps.sh build    the release build: cmake, g++, ninja
#   tools/setup-deps.sh test     the test build: also GoogleTest, groff,
#                                the Debian packaging tools and lintian
#   tools/setup-deps.sh fuzz     the fuzz targets: clang and its runtimes
#
# Runs apt-get through sudo when not root, without questions. lintian only
# adds a check: when it cannot be installed the script says so and goes on
# (the test that needs it is then skipped).
set -euo pipefail

missing=()
optional=()

# need PACKAGE COMMAND-OR-FILE: PACKAGE is missing when the command is not
# on the PATH (or the file does not exist, for a path).
need() {
  if [[ $2 == /* ]]; then
    compgen -G "$2" >/dev/null || missing+=("$1")
  else
    command -v "$2" >/dev/null || missing+=("$1")
  fi
}

need_build() {
  need cmake cmake
  need g++ g++
  need ninja-build ninja
  need libc-bin iconv  # the build converts the help text with it
}

[[ $# -gt 0 ]] || set -- usage
for step in "$@"; do
  case $step in
    build)
      need_build
      ;;
    test)
      need_build
      need libgtest-dev /usr/include/gtest/gtest.h
      need groff-base groff
      # The checks of the manual pages and of the Debian package.
      need dpkg-dev dpkg-shlibdeps
      need file file
      need binutils objdump
      command -v lintian >/dev/null || optional+=(lintian)
      ;;
    fuzz)
      need clang clang++
      need libclang-rt-14-dev "/usr/lib/llvm-*/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a"
      ;;
    *)
      echo "usage: $0 build|test|fuzz..." >&2
      exit 2
      ;;
  esac
done

wanted=("${missing[@]}" "${optional[@]}")
[[ ${#wanted[@]} -eq 0 ]] && exit 0

apt_get() {
  if [[ $(id -u) -eq 0 ]]; then
    env DEBIAN_FRONTEND=noninteractive apt-get "$@"
  elif command -v sudo >/dev/null; then
    sudo env DEBIAN_FRONTEND=noninteractive apt-get "$@"
  else
    echo "$0: not root and no sudo: install these packages as root: ${wanted[*]}" >&2
    return 1
  fi
}

echo "$0: installing ${wanted[*]}" >&2
if [[ ${#missing[@]} -gt 0 ]]; then
  apt_get update -qq
  apt_get install -y -qq "${missing[@]}"
  if [[ ${#optional[@]} -gt 0 ]] && ! apt_get install -y -qq "${optional[@]}"; then
    echo "$0: could not install ${optional[*]}: the checks that need it will be skipped" >&2
  fi
elif ! { apt_get update -qq && apt_get install -y -qq "${optional[@]}"; }; then
  echo "$0: could not install ${optional[*]}: the checks that need it will be skipped" >&2
fi
