#!/usr/bin/env bash
# Fails when a C++ file of the tree differs from .clang-format.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
echo "format: all files match .clang-format"
