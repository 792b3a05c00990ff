#!/usr/bin/env bash
# Seeds the fuzz corpus from the shipped device folder. Findings are added
# beside the seeds by hand (named finding-<what>) and never removed.
set -euo pipefail
cd "$(dirname "$0")/.."
corpus=fuzz/corpus
mkdir -p "$corpus"/{ini,map,mirror,pattern}
for f in Devices/*.ini Devices/*.pat; do
  cp "$f" "$corpus/ini/seed-$(basename "$f")"
done
for f in Devices/DMmap_*.dat; do
  cp "$f" "$corpus/map/seed-$(basename "$f")"
done
for f in Devices/*.pat; do
  cp "$f" "$corpus/pattern/seed-$(basename "$f")"
done
for f in Devices/*.ini; do
  prefix=$(sed -n 's/^MapPrefix=//p' "$f" | tr -d '\r' | head -n 1)
  out="$corpus/mirror/seed-$(basename "$f")"
  cp "$f" "$out"
  if [ -n "$prefix" ] && [ -f "Devices/DMmap_$prefix.dat" ]; then
    printf '\n#DMMAP\n' >>"$out"
    cat "Devices/DMmap_$prefix.dat" >>"$out"
  fi
done
