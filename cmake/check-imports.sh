#!/bin/bash
# Fails when a Windows executable imports a MinGW runtime DLL: the deliverables must run on a
# bare Windows with nothing beside them.
#   check-imports.sh OBJDUMP PROGRAM.exe...
set -eu
objdump=$1
shift
status=0
for exe in "$@"; do
    imports=$("$objdump" -p "$exe" | awk '/DLL Name:/{print $3}')
    if [ -z "$imports" ]; then
        echo "$exe: no import table found" >&2
        status=1
    fi
    bad=$(echo "$imports" | grep -iE 'libstdc|libgcc|libwinpthread|mingw' || true)
    if [ -n "$bad" ]; then
        echo "$exe imports MinGW runtime DLLs: $bad" >&2
        status=1
    fi
done
exit $status
