#!/usr/bin/env bash
# Redraws the module graph of ARCHITECTURE.md from the kes_module() calls: docs/modules.dot, and
# docs/modules.svg with Graphviz (Debian package graphviz).
set -euo pipefail
cd "$(dirname "$0")/.."
mkdir -p docs
python3 cmake/module_graph.py . --dot docs/modules.dot
dot -Tsvg docs/modules.dot -o docs/modules.svg
