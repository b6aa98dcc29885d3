#!/usr/bin/env bash
# Static checks of the shipped 32-bit files, which this host may be unable to
# run: their headers, imports, exports, resources and the calling convention of
# the plug-in's exports, read with objdump from the MinGW-w64 i686 binutils.
#   check-pe.sh program Quillane.exe VERSION
#   check-pe.sh plugin netpbm.spi VERSION
# Prints "FILE: reason" for every check that fails and exits 1 if any did;
# prints nothing and exits 0 when all pass. VERSION is the project version
# (e.g. 0.3.0) the version resource must carry.
set -uo pipefail
objdump=i686-w64-mingw32-objdump

kind=$1 file=$2 version=$3
name=$(basename "$file")
failures=0
fail() {
  echo "$name: $*"
  failures=$((failures + 1))
}

# DLLs that every Windows has (compared in lower case).
system_dlls=" kernel32.dll user32.dll gdi32.dll gdiplus.dll comdlg32.dll shell32.dll winmm.dll msvcrt.dll \
  advapi32.dll comctl32.dll ole32.dll oleaut32.dll shlwapi.dll version.dll "

# read_le FILE OFFSET SIZE: the little-endian unsigned integer of SIZE bytes at OFFSET.
read_le() { od --endian=little -An -tu"$3" -j"$2" -N"$3" "$1" 2>/dev/null | tr -d ' '; }

# The machine field decides whether objdump can read the rest at all.
pe_offset=$(read_le "$file" 60 4)
signature=$(od -An -c -j"${pe_offset:-0}" -N2 "$file" 2>/dev/null | tr -d ' ')
if [ "$signature" != PE ]; then
  fail "not a PE file"
  exit 1
fi
machine=$(printf '%04x' "$(read_le "$file" $((pe_offset + 4)) 2)")
if [ "$machine" != 014c ]; then
  fail "machine $machine, expected i386 (014c)"
  exit 1
fi

headers=$($objdump -p "$file") || { fail "objdump cannot read the headers"; exit 1; }
sections=$($objdump -h "$file")
field() { awk -v key="$1" '$1 == key { print $2; exit }' <<<"$headers"; }
has_line() { grep -qE "$1" <<<"$headers"; }

# The bytes of the first resource of a type (number), as spaced hex pairs.
resource_hex() {
  local leaf rva size base vma offset
  leaf=$(awk -v type="$(printf 'ID: 0x%06x,' "$1")" '
    /^[0-9a-f]+   Entry: ID:/ { current = index($0, type) > 0 }
    current && /Leaf: Addr:/ { gsub(",", ""); print $4, $6; exit }' <<<"$headers")
  [ -n "$leaf" ] || return 1
  read -r rva size <<<"$leaf"
  base=$((0x$(field ImageBase)))
  read -r vma offset < <(awk '$2 == ".rsrc" { print $4, $6 }' <<<"$sections")
  tail -c +$((rva - (0x$vma - base) + 0x$offset + 1)) "$file" | head -c $((size)) | hex
}
hex() { od -An -tx1 -v | tr -s ' \n' ' ' | sed 's/ $//'; }
utf16_hex() { printf '%s' "$1" | iconv -t UTF-16LE | hex; }
le16_hex() { printf ' %02x %02x' $(($1 & 255)) $(($1 >> 8)); }

# --- checks every shipped file passes --------------------------------------
[ "$(field Magic)" = 010b ] || fail "optional header magic $(field Magic), expected PE32 (010b)"
for flag in DYNAMIC_BASE NX_COMPAT; do
  has_line "^\s+$flag\$" || fail "$flag not set"
done
# Without relocations the loader cannot move the image: no ASLR after all.
has_line '^\s+relocations stripped' && fail "relocations stripped"
[ "$(awk '$1 == "Entry" && $2 == 5 { print $4 }' <<<"$headers")" != 00000000 ] || fail "no base relocations"

while read -r dll; do
  [[ "$system_dlls" == *" ${dll,,} "* ]] || fail "imports from $dll, which not every Windows has"
done < <(awk '/DLL Name:/ { print $3 }' <<<"$headers" | sort -u)

IFS=. read -r major minor patch <<<"$version"
version_info=$(resource_hex 16)
if [ -z "$version_info" ]; then
  fail "no version resource"
else
  # VS_VERSIONINFO: header, key, padding, then VS_FIXEDFILEINFO.
  fixed=" bd 04 ef fe 00 00 01 00$(le16_hex "$minor")$(le16_hex "$major")$(le16_hex 0)$(le16_hex "$patch")"
  [[ "${version_info:18:90}" == "$(utf16_hex VS_VERSION_INFO)" ]] || fail "version resource has no VS_VERSION_INFO"
  [[ "${version_info:120:48}" == "$fixed" ]] || fail "version resource does not say file version $version"
  for text in Quillane "Copyright (c) 2026 The Quillane developers"; do
    [[ "$version_info" == *"$(utf16_hex "$text")"* ]] || fail "version resource does not say $text"
  done
fi

# --- the program -----------------------------------------------------------
if [ "$kind" = program ]; then
  [ "$(field Subsystem)" = 00000002 ] || fail "subsystem $(field Subsystem), expected Windows GUI (00000002)"
  has_line '^\s+large address aware' || fail "LARGE_ADDRESS_AWARE not set"
  has_line '^\s+DLL$' && fail "is a DLL, expected a program"
  manifest=$(resource_hex 24)
  if [ -z "$manifest" ]; then
    fail "no manifest resource"
  else
    for entry in dpiAware dpiAwareness Microsoft.Windows.Common-Controls; do
      [[ "$manifest" == *"$(printf '%s' "$entry" | hex)"* ]] ||
        fail "manifest has no $entry entry"
    done
  fi
fi

# --- the plug-in -----------------------------------------------------------
if [ "$kind" = plugin ]; then
  has_line '^\s+DLL$' || fail "not a DLL"
  # Export names with their index into the export address table.
  names=$(awk '/^\[Ordinal\/Name Pointer\] Table/ { on = 1; next } on && NF == 0 { exit }
               on { gsub(/[][]/, " "); print $1, $2 }' <<<"$headers")
  listed=$(awk 'NF { print $2 }' <<<"$names" | sort | paste -sd ' ')
  [ "$listed" = "GetPicture IsSupported" ] || fail "exports ${listed:-nothing}, expected exactly GetPicture IsSupported"
  base=$((0x$(field ImageBase)))
  for export in IsSupported:8 GetPicture:28; do
    export_name=${export%:*} expected=${export#*:}
    index=$(awk -v n="$export_name" '$2 == n { print $1 }' <<<"$names")
    [ -n "$index" ] || continue
    rva=$(awk -v i="$index" '/ Export RVA$/ { gsub(/[][]/, " "); if ($1 == i) print $(NF - 2) }' <<<"$headers")
    start=$((base + 0x$rva))
    # A standard-call function ends in "ret $N", N its argument bytes; the
    # first return after the entry is the function's own.
    popped=$($objdump -d --start-address=$start --stop-address=$((start + 0x2000)) "$file" |
      awk '/\t(repz |rep )?ret[lw]? *(\$0x[0-9a-f]+)?$/ { n = "0"; if (match($0, /\$0x[0-9a-f]+/)) n = substr($0, RSTART + 1); print n; exit }')
    [ -n "$popped" ] && popped=$((popped))
    [ "${popped:-none}" = "$expected" ] ||
      fail "$export_name pops ${popped:-no return found} bytes, expected $expected"
  done
fi

exit $((failures > 0))
