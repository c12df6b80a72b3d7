#!/bin/sh
# The plug-in module's face: one export, winampGetGeneralPurposePlugin, and
# imports from Windows' own DLLs only (the C++ runtime linked in).
#   check-module-face.sh OBJDUMP gen_Tunelet.dll
set -eu
objdump=$1
module=$2
table=$($objdump -p "$module")
exports=$(printf '%s\n' "$table" | sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | sed -n 's/^\s*\[ *[0-9]*\] //p')
if [ "$exports" != "winampGetGeneralPurposePlugin" ]; then
  echo "exports: expected only winampGetGeneralPurposePlugin, got:"; printf '%s\n' "$exports"; exit 1
fi
imports=$(printf '%s\n' "$table" | sed -n 's/^\s*DLL Name: //p' | tr 'a-z' 'A-Z' | sort -u)
status=0
for dll in $imports; do
  case $dll in
    KERNEL32.DLL|USER32.DLL|GDI32.DLL|COMCTL32.DLL|COMDLG32.DLL|SHELL32.DLL|SHLWAPI.DLL|ADVAPI32.DLL|OLE32.DLL|\
    OLEAUT32.DLL|WS2_32.DLL|IPHLPAPI.DLL|BCRYPT.DLL|CRYPT32.DLL|MSVCRT.DLL|NTDLL.DLL|UXTHEME.DLL|NORMALIZ.DLL|\
    WINDOWSCODECS.DLL|API-MS-WIN-*) ;;
    *) echo "imports a DLL Windows does not bring: $dll"; status=1 ;;
  esac
done
[ $status -eq 0 ] && echo "one export; imports: $(echo $imports)"
exit $status
