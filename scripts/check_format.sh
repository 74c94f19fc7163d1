#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from .clang-format, or when one
# includes a header through "../" (that would step round the library layers
# set up in CMakeLists.txt, which let each folder see only what it links).
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "format: all files match .clang-format"
if git ls-files '*.cpp' '*.h' | xargs grep -nE '^[[:space:]]*#[[:space:]]*include[[:space:]]*["<]\.\./'; then
    echo 'layers: the includes above climb out of their folder with "../"' >&2
    exit 1
fi
echo 'layers: no include climbs out of its folder with "../"'
