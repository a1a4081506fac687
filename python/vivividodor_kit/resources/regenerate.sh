#!/usr/bin/env bash
# Regenerates the default resources in this directory from two Debian
# packages: rime-essay (the word list /usr/share/rime-data/essay.txt) and
# opencc (the converter, traditional to simplified characters). Installs them
# with apt-get when they are missing. The load check needs an installed
# vivividodor module with its Jieba class (pip install . at the project root).
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

missing=()
[ -f /usr/share/rime-data/essay.txt ] || missing+=(rime-essay)
command -v opencc >/dev/null 2>&1 || missing+=(opencc)
if [ "${#missing[@]}" -gt 0 ]; then
  echo "installing ${missing[*]}" >&2
  as_root apt-get update -qq
  as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}"
fi

exec python3 "$here/regenerate.py" "$@"
