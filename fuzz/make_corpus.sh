#!/usr/bin/env bash
# Writes the seed corpora: map bodies of a few small documents made by
# sundrel-cli from the example sites, small sundrel documents, and a few
# small coordinate files.
# Uses $SUNDREL_CLI, else build/sundrel-cli (built when missing).
set -euo pipefail
cd "$(dirname "$0")/.."

cli="${SUNDREL_CLI:-build/sundrel-cli}"
if [[ ! -x "$cli" ]]; then
  if [[ -f build/CMakeCache.txt ]]; then
    cmake -S . -B build
  else
    cmake -S . -B build -DCMAKE_BUILD_TYPE=Release -DSUNDREL_TESTS=OFF -DSUNDREL_BENCH=OFF
  fi
  cmake --build build -j"$(nproc)" --target sundrel-cli
  cli=build/sundrel-cli
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

maps=fuzz/corpus/read_map
texts=fuzz/corpus/file_reader
edits=fuzz/corpus/edit
mkdir -p "$maps" "$texts" "$edits"

# The map body starts right after the 280-byte document header.
body() { tail -c +281 "$work/$1.dvt" > "$maps/$1.body"; }

for n in 3 10 40; do
  "$cli" map examples/sites.txt --first-line 2 --points "$n" -o "$work/sites$n.dvt" > /dev/null
  body "sites$n"
done
"$cli" map examples/sites.txt --first-line 2 --points 12 --y-first -o "$work/yfirst12.dvt" > /dev/null
body yfirst12
"$cli" edit "$work/sites10.dvt" -o "$work/sites10-novirtual.dvt" --remove-all-virtual > /dev/null
body sites10-novirtual
"$cli" edit "$work/sites3.dvt" -o "$work/sites3-added.dvt" --add 8.5,45.5 --remove-virtual 0 > /dev/null
body sites3-added

# Edit seeds: two doubles (position as fractions of the frame), the operation
# byte (0 add, 1 remove, 2 remove all, 3 add then remove), then a map body.
edit() {
  printf "$2" > "$edits/$1-$3.edit"
  cat "$maps/$1.body" >> "$edits/$1-$3.edit"
}
edit sites10 '\x00\x00\x00\x00\x00\x00\xe0\x3f\x00\x00\x00\x00\x00\x00\xe0\x3f\x00' add
edit sites10 '\x00\x00\x00\x00\x00\x00\xd0\x3f\x00\x00\x00\x00\x00\x00\xe8\x3f\x05' remove
edit sites3 '\x00\x00\x00\x00\x00\x00\xe0\x3f\x00\x00\x00\x00\x00\x00\xe0\x3f\x02' removeall
edit sites40 '\x9a\x99\x99\x99\x99\x99\xd9\x3f\x33\x33\x33\x33\x33\x33\xe3\x3f\x03' addremove

# Sundrel documents: the sites10 map with a single-run layer (K = 3) and a
# significance layer (3 of the resampled matrices, cut to the map's 10
# populations, K = 2); and the same map without layers (tag "DVK", version 4,
# body offset 588, a monmonier header holding L = 0 and active index -1).
docs=fuzz/corpus/read_document
mkdir -p "$docs"
"$cli" analyse "$work/sites10.dvt" examples/distances.txt -o "$work/single.dvk" \
  --sundrels 3 --labels roman --name single > /dev/null
"$cli" analyse "$work/single.dvk" examples/resampled.txt -o "$docs/sites10-study.dvk" \
  --matrices 3 --gap 31 --sundrels 2 --name resampled > /dev/null
{
  head -c 5 "$work/sites10.dvt"
  printf 'DVK\x00\x04'
  tail -c +11 "$work/sites10.dvt" | head -c 266
  printf '\x4c\x02\x00\x00MH \x00'
  head -c 300 /dev/zero
  printf '\xff\xff\xff\xff'
  tail -c +281 "$work/sites10.dvt"
} > "$docs/sites10-nolayers.dvk"

head -n 11 examples/sites.txt > "$texts/sites10.txt"
cp examples/sites.txt "$texts/sites40.txt"
# Decimal commas, leading name and index columns, tabs, CRLF, trailing blanks.
printf 'name\tid\tlon\tlat\r\nA\t1\t8,454\t44,451\r\nB\t2\t9,237\t46,556\r\nC\t3\t7,127\t47,114\r\n\r\n  \r\n' \
  > "$texts/named-comma-crlf.txt"
printf '# lat lon\n4.4451e1 +8.454\n46.556 -9.237E0\n47.114 7.127\n\n' > "$texts/yfirst-exponents.txt"
printf '1 2\n3\n4 5 6\n-0 0.0\n' > "$texts/short-lines.txt"
# Beyond the range of a double: underflow gives a signed zero, overflow fails.
printf '1e-400 -2,5e-999\n1e400 7\n0.000000000000000000001e-310 -1E+3\n' > "$texts/exponent-range.txt"

ls -l "$maps" "$texts" "$edits" "$docs"
