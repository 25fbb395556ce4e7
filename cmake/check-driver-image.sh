#!/bin/bash
# Checks the shipped driver image: native subsystem, win32k.sys as its only import,
# DrvEnableDriver exported undecorated, and its checksum set.
#   check-driver-image.sh OBJDUMP mirvane.dll
set -eu
objdump=$1
image=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
headers=$("$objdump" -p "$image")
status=0
fail() {
    echo "$image: $1" >&2
    status=1
}
echo "$headers" | grep -Eq '^Subsystem[[:space:]]+0+1[[:space:]]' || fail "subsystem is not native"
imports=$(echo "$headers" | awk '/DLL Name:/{print $3}' | sort -u)
[ "$imports" = "win32k.sys" ] || fail "imports $(echo $imports) instead of win32k.sys alone"
echo "$headers" | grep -Eq '^[[:space:]]+\[ *0\] +DrvEnableDriver$' ||
    fail "DrvEnableDriver is not exported undecorated"
python3 "$here/pe-checksum.py" "$image" --check || fail "checksum not set"
exit $status
