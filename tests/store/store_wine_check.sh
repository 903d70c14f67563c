#!/usr/bin/env bash
# Usage: tests/store/store_wine_check.sh BUILD/tests/store/store_wine_check.exe
#
# Runs the store's Win32 back ends against Wine's real registry and files, in
# one fresh Wine prefix that is removed afterwards:
#  - values written with `reg add` (every type, 0 to 9 bytes, odd words)
#    read back with the same type and bytes and load exactly as the
#    in-memory key loads them (a type other than the field's: unreadable);
#  - what the store writes reads back with `reg query` as the exact types
#    and bytes, and values it must not write stay as they were;
# The stored names, forms and groups come from the program's own table
# (`store_wine_check.exe fields`), so every stored value is covered.
#  - the dump and the random-bit log land in the Windows directory, and in
#    %LOCALAPPDATA%\Cellarium when a folder of their name stands in the way;
#  - temporary files that killed runs left in both folders go before a file
#    is written, but not one another process holds open.
# Prints "ok ..." or "FAIL ..." per check and, last, "N passed, N failed".
# Exits non-zero when a check fails or Wine cannot be used.
set -uo pipefail

exe=${1:-}
if [[ -z $exe || ! -f $exe ]]; then
  echo "error: store_wine_check.exe not found at '${exe}' (build the win64 tree first)" >&2
  exit 2
fi
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
if [[ ! -x $wine || ! -x $server ]]; then
  echo "error: $wine not found (Debian package wine64)" >&2
  exit 2
fi

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if ! WINEPREFIX=$(mktemp -d /tmp/cellarium-store-wine.XXXXXX); then
  echo "error: cannot make a temporary folder for the Wine prefix" >&2
  exit 2
fi
export WINEPREFIX
cleanup() {
  "$server" -k 2>/dev/null
  rm -rf "$WINEPREFIX" "$output"
}
trap cleanup EXIT

key='HKCU\Software\Microsoft\Windows\CurrentVersion\Screen Savers\Cellarium'
passed=0
failed=0
ok() { echo "ok $*"; passed=$((passed + 1)); }
bad() { echo "FAIL $*"; failed=$((failed + 1)); }
# verdict STATUS LABEL DETAIL: ok when STATUS is 0, else a failure with DETAIL.
verdict() { if [[ $1 -eq 0 ]]; then ok "$2"; else bad "$2: $3"; fi; }

# Output goes through a file, not a pipe: services that Wine starts on the
# way inherit the output and would hold a pipe open. Windows programs end
# their lines with CR LF.
output=$WINEPREFIX.out
run() {
  "$wine" "$@" >"$output" 2>&1
  local status=$?
  tr -d '\r' <"$output"
  return $status
}
check() { run "$exe" "$@"; }

# The prefix is made by its first use.
if ! run reg add 'HKCU\Software\Cellarium-check' /f >/dev/null; then
  echo "error: Wine could not set up a prefix in $WINEPREFIX" >&2
  exit 2
fi
"$server" -p 60 >/dev/null 2>&1  # stay up between the many short runs

# Every stored row: NAME FORM GROUP STEP DEFAULT.
fields=$(check fields)
mapfile -t names < <(cut -d' ' -f1 <<<"$fields")
mapfile -t options < <(awk '$3 == "option" { print $1 }' <<<"$fields")
if [[ ${#names[@]} -lt 2 || ${#options[@]} -lt 1 ]]; then
  echo "error: store_wine_check.exe fields printed no table: $fields" >&2
  exit 2
fi

hex() { printf '%s' "$1" | od -An -tx1 | tr -d ' \n'; }
# A 32- or 64-bit number (0x...) as little-endian bytes.
le() {
  local digits=${1#0x} width=$2 out="" i
  digits=$(printf "%0${width}s" "$digits" | tr ' ' 0)
  for ((i = width - 2; i >= 0; i -= 2)); do out+=${digits:i:2}; done
  printf '%s' "$out"
}

# One variant per line: reg type, the data given to `reg add`, the type's
# number and the bytes the ANSI read returns (for text types: the text and
# its NUL, converted from the UTF-16 the registry holds).
variants=()
variant() { variants+=("$1|$2|$3|$4"); }
for v in 0x0 0x2 0x3 0x1F 0x20 0x7FFFFFFF 0x80000000 0xFFFFFFFF; do
  variant REG_DWORD "$v" 4 "$(le "$v" 8)"
done
binary=0a141e28323c465064
for n in 0 1 2 3 4 5 6 7 8 9; do
  variant REG_BINARY "${binary:0:2*n}" 3 "${binary:0:2*n}"
done
for text in "" 7 abcdefg abcdefgh; do
  variant REG_SZ "$text" 1 "$(hex "$text")00"
done
variant REG_EXPAND_SZ ab 2 "$(hex ab)00"
variant REG_MULTI_SZ a 7 "$(hex a)0000"
# Wine's reg keeps REG_NONE data as UTF-16 text and is not converted on read.
variant REG_NONE "" 0 0000
variant REG_QWORD 0x0102030405060708 11 "$(le 0x0102030405060708 16)"
# Wine's reg stores this type's number little-endian, as REG_DWORD.
variant REG_DWORD_BIG_ENDIAN 0x1 5 01000000

batch=$WINEPREFIX/drive_c/values.cmd
# Each case gives every stored value a variant of its own (as long as there
# are variants enough); three passes with different offsets put every
# variant on three different values.
offsets=(0 8 17)
write_values() {
  local c=$1 i=0 name type data number bytes
  local first=$(((c % 3) * ${#names[@]} + offsets[c / 3]))
  stored=()
  {
    printf '@echo off\r\n'
    printf 'reg delete "%s" /f >NUL 2>NUL\r\n' "$key"
    for name in "${names[@]}"; do
      IFS='|' read -r type data number bytes <<<"${variants[(first + i) % ${#variants[@]}]}"
      printf 'reg add "%s" /v %s /t %s /d "%s" /f >NUL\r\n' "$key" "$name" "$type" "$data"
      printf 'if errorlevel 1 echo reg add %s %s "%s" failed\r\n' "$name" "$type" "$data"
      stored+=("$name=$number:$bytes")
      i=$((i + 1))
    done
  } >"$batch"
}

# ---- stored values of every type and length load alike from both keys
for ((c = 0; c < 3 * ${#offsets[@]}; c++)); do
  write_values "$c"
  errors=$(run cmd /c 'C:\values.cmd')
  if [[ -n $errors ]]; then bad "values $c: $errors"; continue; fi
  out=$(check load "${stored[@]}")
  verdict $? "stored values, case $c" "${stored[*]}: $out"
done

# ---- named cases
fresh() { run reg delete "$key" /f >/dev/null 2>&1; }
add() { run reg add "$key" /v "$1" /t "$2" /d "$3" /f >/dev/null || bad "reg add $1 $2 $3"; }
# expect_load LABEL PATTERN ARGS...: load, and the fields line has PATTERN.
expect_load() {
  local label=$1 pattern=$2 out; shift 2
  out=$(check load "$@")
  if [[ $? -eq 0 && $out == *"$pattern"* ]]; then ok "$label"; else bad "$label: $out"; fi
}

fresh
expect_load "no key: fields stay" "WorldSize=2 InitSize=1 ZoomFactor=0 IsTiled=1"
run reg query "$key" >/dev/null
verdict $? "no key: loading creates it" "the key is not there"

fresh
add ZoomFactor REG_DWORD 2
add WorldSize REG_DWORD 1
add IsTiled REG_BINARY 01
expect_load "zoom above world size" "WorldSize=1 InitSize=1 ZoomFactor=1 IsTiled=0" \
  ZoomFactor=4:02000000 WorldSize=4:01000000 IsTiled=3:01

# A number typed in as text is no number: the field keeps its value.
fresh
add ZoomFactor REG_SZ 0
expect_load "ZoomFactor as the text 0: unreadable, not 0x30" \
  "WorldSize=2 InitSize=1 ZoomFactor=0 IsTiled=1" ZoomFactor=1:3000

fresh
add PixelColor REG_BINARY 0a141e
expect_load "colour 10 20 30" "PixelColor=0x001E140A" PixelColor=3:0a141e
add PixelColor REG_BINARY 0a141eff
expect_load "four-byte colour" "PixelColor=0x001E140A" PixelColor=3:0a141eff

# query_is NAME TYPE DATA: `reg query` shows exactly this value.
query_is() {
  local out
  out=$(run reg query "$key" /v "$1")
  grep -q -x -F "    $1    $2    $3" <<<"$out"
  verdict $? "$1 is $2 $3" "reg query said: $out"
}

# Every value, options too, held as text first: SaveSettings replaces each
# option with what the program says the table writes, and nothing else.
fresh
for name in "${names[@]}"; do add "$name" REG_SZ keep; done
add LastRate REG_SZ "9.00 updates/sec"
saved=$(check save-settings)
for name in "${names[@]}"; do
  if [[ " ${options[*]} " == *" $name "* ]]; then
    line=$(grep "^$name " <<<"$saved")  # NAME TYPE DATA: three words
    if [[ -n $line ]]; then query_is $line; else bad "save-settings printed no $name: $saved"; fi
  else
    query_is "$name" REG_SZ keep
  fi
done
query_is LastRate REG_SZ "9.00 updates/sec"

check save-seeds FFFFFFFE 80000000 >/dev/null
query_is Seed1 REG_DWORD 0xfffffffe
query_is Seed2 REG_DWORD 0x80000000

check rate 600 0 >/dev/null
query_is LastRate REG_SZ "9.00 updates/sec"
check rate 600 4 >/dev/null
query_is LastRate REG_SZ "150.00 updates/sec"
out=$(check read LastRate)
if [[ $out == "size=19 bytes=$(hex '150.00 updates/sec' | tr a-f A-F)00" ]]; then
  ok "LastRate is 19 bytes with its NUL"
else
  bad "LastRate read back as $out"
fi

# ---- files in the Windows directory
windir=$WINEPREFIX/drive_c/windows
out=$(check path)
if [[ $out == 'C:\windows\LifeDump.bmp' ]]; then ok "dump path $out"; else bad "dump path: $out"; fi

head -c 30000 /dev/zero >"$windir/LifeDump.bmp"
check dump >/dev/null
size=$(stat -c %s "$windir/LifeDump.bmp" 2>/dev/null)
header=$(head -c 32 "$windir/LifeDump.bmp" | od -An -tx1 | tr -d ' \n')
want=424d206000000000000020000000
want+=0c0000000002800101000100
want+=000000ffff30
[[ $size == 24608 && $header == "$want" ]]
verdict $? "dump of 512x384 replaces the old file" "size $size, header $header"
pixels=$(od -An -tx1 -j 32 -N 4 "$windir/LifeDump.bmp" | tr -d ' \n')
last=$(od -An -tx1 -j 24607 -N 1 "$windir/LifeDump.bmp" | tr -d ' \n')
# byte i of the pixels is i * 7 mod 256; the last is 24575 * 7 mod 256 = 0xF9
[[ $pixels == 00070e15 && $last == f9 ]]
verdict $? "dump pixels as they lie" "$pixels ... $last"

printf '0000000000\n' >"$windir/RandBits.txt"
check randbits 10110 >/dev/null
content=$(od -An -c "$windir/RandBits.txt" | tr -d ' \n')
[[ $content == 10110 ]]
verdict $? "random-bit log replaces the old file" "it holds $content"

# A file the Windows directory refuses (a folder in its place fails even for
# root) goes to %LOCALAPPDATA%\Cellarium, which is made for it.
rm -f "$windir/LifeDump.bmp" "$windir/RandBits.txt"
mkdir "$windir/LifeDump.bmp" "$windir/RandBits.txt"
local_app=$(run cmd /c echo '%LOCALAPPDATA%')
userdir=$(run winepath -u "$local_app\Cellarium")
rm -rf "$userdir"
check dump >/dev/null
check randbits 011 >/dev/null
size=$(stat -c %s "$userdir/LifeDump.bmp" 2>/dev/null)
content=$(od -An -c "$userdir/RandBits.txt" 2>/dev/null | tr -d ' \n')
[[ -n $local_app && $size == 24608 && $content == 011 ]]
verdict $? "blocked Windows directory: both files in $local_app\Cellarium" \
  "dump of '$size' bytes, log '$content' in '$userdir'"

# Leftovers in both folders, and a temporary name another process holds open
# (made and held as a running saver holds its own).
rmdir "$windir/LifeDump.bmp" "$windir/RandBits.txt"
for name in RandBits.txt.0.tmp RandBits.txt.99.tmp LifeDump.bmp.0.tmp; do
  printf stale >"$windir/$name"
  printf stale >"$userdir/$name"
done
held='RandBits.txt.1.tmp'
"$wine" "$exe" hold "C:\\windows\\$held" >"$WINEPREFIX.hold" 2>&1 &
holder=$!
for ((i = 0; i < 300; i++)); do [[ -s $windir/$held ]] && break; sleep 0.1; done
check randbits 0101 >/dev/null
check dump >/dev/null
content=$(od -An -c "$windir/RandBits.txt" 2>/dev/null | tr -d ' \n')
left=$(find "$windir" "$userdir" -maxdepth 1 -name '*.tmp' -printf '%f ')
touch "$windir/$held.release"
wait "$holder"
holder_said=$(tr -d '\r' <"$WINEPREFIX.hold")
[[ $content == 0101 && $left == "$held " && $holder_said == ok ]]
verdict $? "leftovers removed from both folders, the held one kept" \
  "log '$content', .tmp left: '$left', holder: '$holder_said'"
rm -f "$windir/$held" "$windir/$held.release" "$WINEPREFIX.hold"

rm -rf "$userdir"
check randbits 1 >/dev/null
[[ ! -e $userdir ]]
verdict $? "the log in the Windows directory does not make $local_app\Cellarium" "it was made"

echo "$passed passed, $failed failed"
[[ $failed -eq 0 ]]
