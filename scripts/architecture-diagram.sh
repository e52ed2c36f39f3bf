#!/usr/bin/env bash
# Draws docs/architecture.svg from docs/architecture.dot (Debian package graphviz).
set -euo pipefail
cd "$(dirname "$0")/.."
dot -Tsvg docs/architecture.dot -o docs/architecture.svg
