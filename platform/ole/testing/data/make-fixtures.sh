#!/usr/bin/env bash
# Compiles the test type libraries from their IDL with an independent IDL compiler
# (widl). The .tlb files are committed, so tests never need the compiler; run this
# only after changing an .idl file.
#   WIDL=/path/to/widl platform/ole/testing/data/make-fixtures.sh
# widl comes with Debian's wine64-tools package; when installing it pulls in too much,
# `apt-get download wine64-tools && dpkg -x wine64-tools_*.deb DIR` and point WIDL at
# DIR/usr/lib/wine/widl. The IDL here includes only its own files (--nostdinc).
set -euo pipefail
cd "$(dirname "$0")"
widl=${WIDL:-$(command -v widl || true)}
[[ -x "$widl" ]] || { echo "make-fixtures.sh: set WIDL to the widl program" >&2; exit 1; }

compile() { "$widl" --nostdinc -I. -L. -t -m32 -o "$2" "$1"; }

compile stdole.idl stdole2.tlb
compile gadgets.idl gadgets.tlb
compile oddities.idl oddities.tlb
compile empty.idl empty.tlb
compile floats.idl floats.tlb
compile derived.idl derived.tlb
compile further.idl further.tlb
python3 make-pe.py gadgets.tlb gadgets.ocx
