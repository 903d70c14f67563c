#!/usr/bin/env bash
# Shows that the release files can be rebuilt byte for byte: clones the
# checked-out commit twice (uncommitted changes are not part of it), into
# folders of different names and lengths, runs `make dist` in each (the
# second later, with another umask, time zone and locale) and compares
# dist/ file by file. Prints both SHA256SUMS side by side and names every
# file that differs or is missing from one side; exits non-zero then, or
# when a build fails.
#
#   scripts/check-reproducible.sh [WORK_DIR]
#
# WORK_DIR (default: a new temporary folder, removed when all is the same)
# keeps the clones and their build logs.
set -uo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
fail() { echo "error: $*" >&2; exit 1; }

commit=$(git -C "$root" rev-parse HEAD) || fail "$root is not a git checkout"
work=${1:-$(mktemp -d)}
mkdir -p "$work" || fail "cannot make $work"
[[ -z $(git -C "$root" status --porcelain --untracked-files=no) ]] ||
  echo "note: uncommitted changes are not built; comparing commit $commit"

build() {  # build NAME: clone into $work/NAME/cellarium and make dist there
  local dir=$work/$1/cellarium
  rm -rf "$work/$1"
  git clone -q --no-checkout "$root" "$dir" && git -C "$dir" checkout -q --detach "$commit" ||
    fail "cannot clone $commit into $dir"
  echo "== make dist in $dir (log: $work/$1.log)"
  local start=$SECONDS
  make -C "$dir" dist >"$work/$1.log" 2>&1 ||
    { tail -n 20 "$work/$1.log"; fail "make dist failed in $dir (see $work/$1.log)"; }
  echo "   $((SECONDS - start)) s"
}

build a
(umask 027; export TZ=Pacific/Chatham LC_ALL=C.UTF-8; build second-clone) || exit 1

one=$work/a/cellarium/dist
two=$work/second-clone/cellarium/dist
echo
printf '%-36s  %-64s  %s\n' file "SHA256 of $one" "SHA256 of $two"
differ=0
while read -r file; do
  a=$( [[ -f $one/$file ]] && sha256sum <"$one/$file" | cut -c1-64 || echo missing)
  b=$( [[ -f $two/$file ]] && sha256sum <"$two/$file" | cut -c1-64 || echo missing)
  mark=""
  [[ $a == "$b" ]] || { mark="   DIFFERS"; differ=$((differ + 1)); }
  printf '%-36s  %-64s  %s%s\n' "$file" "$a" "$b" "$mark"
done < <( (cd "$one" && find . -type f; cd "$two" && find . -type f) | sed 's|^\./||' | LC_ALL=C sort -u)

echo
if [[ $differ -ne 0 ]]; then
  echo "NOT reproducible: $differ file(s) differ (clones and logs kept in $work)"
  exit 1
fi
echo "reproducible: both builds of $commit gave the same $(wc -l <"$one/SHA256SUMS") files and SHA256SUMS"
[[ $# -ge 1 ]] || rm -rf "$work"
