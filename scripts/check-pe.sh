#!/usr/bin/env bash
# usage: check-pe.sh i386|x86-64 FILE
# Static checks of a built setup program: PE image of the named machine, GUI subsystem,
# imports only from the system libraries the program may use, and none of the functions that
# Windows 2000 lacks (those are looked up by name at run time instead).
# Exit 0 when every check passes, 1 with one line per failure otherwise, 2 on bad usage.
set -u
[ $# -eq 2 ] || { echo "usage: $0 i386|x86-64 FILE" >&2; exit 2; }
arch=$1 file=$2
case "$arch" in
  i386) format=pei-i386 ;;
  x86-64) format=pei-x86-64 ;;
  *) echo "usage: $0 i386|x86-64 FILE" >&2; exit 2 ;;
esac
# This objdump reads both 32-bit and 64-bit images, so a wrong machine is reported as such.
objdump=x86_64-w64-mingw32-objdump
[ -f "$file" ] || { echo "check-pe: $file: no such file"; exit 1; }

failures=0
fail() { echo "check-pe: $file: $*"; failures=$((failures + 1)); }

headers=$($objdump -p "$file" 2>&1) || { fail "not a PE image this objdump reads"; exit 1; }
grep -q "file format $format\$" <<<"$headers" || fail "not a $format image ($(grep -o 'file format .*' <<<"$headers" | head -1))"
grep -qE '^Subsystem[[:space:]]+00000002' <<<"$headers" || fail "subsystem is not Windows GUI"

allowed_dlls="kernel32.dll user32.dll gdi32.dll advapi32.dll shell32.dll shlwapi.dll ole32.dll comctl32.dll msvcrt.dll"
dlls=$(awk '/DLL Name:/ {print tolower($3)}' <<<"$headers")
for d in $dlls; do
  [[ " $allowed_dlls " == *" $d "* ]] || fail "imports from $d, which is not an allowed library"
done

# Functions newer than Windows 2000: those the program reaches by name, and newer functions a
# compiler runtime or a careless call could pull in.
newer="GetNativeSystemInfo GetSystemWow64DirectoryW GetSystemWow64DirectoryA
Wow64DisableWow64FsRedirection Wow64RevertWow64FsRedirection Wow64EnableWow64FsRedirection
RegDeleteKeyExW RegDeleteKeyExA InitiateSystemShutdownExW InitiateSystemShutdownExA IsWow64Process RegGetValueW RegSetKeyValueW RegDeleteTreeW
RegDeleteKeyValueW RegCopyTreeW RegLoadMUIStringW GetTickCount64 GetModuleHandleExW GetModuleHandleExA
AttachConsole AddVectoredExceptionHandler RemoveVectoredExceptionHandler EncodePointer DecodePointer
InitializeCriticalSectionEx InitOnceExecuteOnce
InitializeSRWLock AcquireSRWLockExclusive AcquireSRWLockShared ReleaseSRWLockExclusive
InitializeConditionVariable SleepConditionVariableCS WakeConditionVariable WakeAllConditionVariable
FlsAlloc FlsFree FlsGetValue FlsSetValue GetLogicalProcessorInformation GetCurrentProcessorNumber
SetDllDirectoryW SetDllDirectoryA CreateSymbolicLinkW GetFinalPathNameByHandleW
GetUserDefaultLocaleName LocaleNameToLCID LCIDToLocaleName GetLocaleInfoEx CompareStringEx
SHGetKnownFolderPath SHCreateItemFromParsingName TaskDialog TaskDialogIndirect SetProcessDPIAware
GetSystemTimePreciseAsFileTime GetSystemTimes WTSGetActiveConsoleSessionId
IsThemeActive SetWindowTheme CreateProcessWithTokenW
QueryFullProcessImageNameW GetProcessId GetThreadId FlushProcessWriteBuffers
GetErrorMode SetThreadErrorMode RtlCaptureContext"
imports=$(awk '/^[[:space:]]+[0-9a-f]+[[:space:]]+[0-9]+[[:space:]]+[A-Za-z_]/ {print $3}' <<<"$headers")
# 64-bit Windows began after Windows 2000, so the x86-64 build is held to the libraries only.
[ "$arch" = x86-64 ] && newer=""
for f in $newer; do
  if grep -qx "$f" <<<"$imports"; then
    fail "imports $f, which Windows 2000 lacks (look it up by name at run time)"
  fi
done

if [ $failures -gt 0 ]; then
  exit 1
fi
echo "check-pe: $file: $format, GUI, $(wc -w <<<"$dlls") libraries, $(wc -l <<<"$imports") functions: ok"
