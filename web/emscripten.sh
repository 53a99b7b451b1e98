#!/usr/bin/env bash
# emscripten.sh DIR: a set-up of Debian's emscripten in DIR that can build: its own configuration file and a
# writable cache. Debian's configuration freezes the cache, which lies read-only under /usr/share; the copy
# is a tree of links to it, where emscripten may add what it builds. Prints the configuration file's path.
set -euo pipefail
dir=$(mkdir -p "$1" && cd "$1" && pwd)
if [ ! -d "$dir/cache" ]; then
    cp -rs /usr/share/emscripten/cache "$dir/cache.new"
    mv "$dir/cache.new" "$dir/cache"
fi
cat >"$dir/config.new" <<CONFIG
EMSCRIPTEN_ROOT = '/usr/share/emscripten'
LLVM_ROOT = '/usr/bin'
BINARYEN_ROOT = '/usr'
NODE_JS = '/usr/bin/node'
CACHE = '$dir/cache'
FROZEN_CACHE = False
LLVM_ADD_VERSION = '14'
CLANG_ADD_VERSION = '14'
CONFIG
# the file is rewritten only when it changes, so that the build does not start again for nothing
cmp -s "$dir/config.new" "$dir/config" 2>/dev/null && rm "$dir/config.new" || mv "$dir/config.new" "$dir/config"
echo "$dir/config"
