#!/bin/bash
# SPDX-License-Identifier: MIT
# Each program as the Windows 7 SP1 loader meets it, which refuses a program before it runs when
# the file asks for a newer subsystem, or when one imported DLL or function is missing:
#   windows7_imports.sh OBJDUMP PROGRAM.exe...
# The DLLs are an allow-list (each present on Windows 7 SP1; api-ms-win-* sets are not, all of
# them). The functions are a deny-list: those that Microsoft's reference gives as new in Windows 8
# or later, among the families that the panel's own code (user32's DPI calls, which came with
# Windows 8.1 and 10) or the compiler's runtime (libstdc++, winpthreads: the precise clock, the
# address waits, the thread descriptions) can bring in. A complete allow-list of the two
# hundred-odd functions would fail at every compiler update without saying more.
set -u
objdump=${1:?usage: windows7_imports.sh OBJDUMP PROGRAM.exe...}
shift
[ $# -gt 0 ] || { echo "usage: windows7_imports.sh OBJDUMP PROGRAM.exe..."; exit 2; }

dlls_of_windows7="kernel32.dll user32.dll gdi32.dll msvcrt.dll advapi32.dll shell32.dll ole32.dll
oleaut32.dll oleacc.dll comctl32.dll comdlg32.dll uxtheme.dll msimg32.dll version.dll ws2_32.dll"
newer_functions="
AdjustWindowRectExForDpi GetDpiForSystem GetDpiForWindow GetSystemMetricsForDpi
SystemParametersInfoForDpi GetSystemDpiForProcess GetDpiFromDpiAwarenessContext
SetProcessDpiAwarenessContext SetThreadDpiAwarenessContext GetThreadDpiAwarenessContext
GetWindowDpiAwarenessContext GetAwarenessFromDpiAwarenessContext AreDpiAwarenessContextsEqual
IsValidDpiAwarenessContext EnableNonClientDpiScaling SetThreadDpiHostingBehavior
LogicalToPhysicalPointForPerMonitorDPI PhysicalToLogicalPointForPerMonitorDPI
GetPointerType GetPointerInfo EnableMouseInPointer GetDisplayAutoRotationPreferences
GetSystemTimePreciseAsFileTime CreateFile2 CopyFile2 WaitOnAddress WakeByAddressSingle
WakeByAddressAll GetCurrentThreadStackLimits SetThreadInformation GetThreadInformation
PrefetchVirtualMemory GetOverlappedResultEx CreateFileMappingFromApp MapViewOfFileFromApp
SetDefaultDllDirectories AddDllDirectory RemoveDllDirectory GetProcessMitigationPolicy
SetProcessMitigationPolicy InitializeSynchronizationBarrier EnterSynchronizationBarrier
DeleteSynchronizationBarrier SetThreadDescription GetThreadDescription GetFirmwareType
QueryUnbiasedInterruptTimePrecise GetCurrentPackageFullName GetCurrentPackageId
GetPackageFamilyName"

failed=0
for exe in "$@"; do
    name=$(basename "$exe")
    if ! headers=$("$objdump" -p "$exe" 2>&1); then
        echo "FAIL: $name: $headers"
        failed=1
        continue
    fi
    # Windows 7 is version 6.1: the loader refuses a program that asks for more.
    for field in Subsystem OSystem; do
        major=$(sed -n "s/^Major${field}Version\s*//p" <<<"$headers")
        minor=$(sed -n "s/^Minor${field}Version\s*//p" <<<"$headers")
        if [ -z "$major" ] || [ $((major * 100 + minor)) -gt 601 ]; then
            echo "FAIL: $name asks for ${field} version ${major:-?}.${minor:-?}, beyond Windows 7's 6.1"
            failed=1
        fi
    done
    # One "dll function" line per import.
    imports=$(awk '/DLL Name:/ { dll = tolower($3); next }
                   dll && /^\t[0-9a-f]+\t/ { print dll, $3 }' <<<"$headers")
    [ -n "$imports" ] || { echo "FAIL: $name: no import table read"; failed=1; continue; }
    for dll in $(awk '{ print $1 }' <<<"$imports" | sort -u); do
        grep -qw -- "$dll" <<<"$dlls_of_windows7" || { echo "FAIL: $name imports $dll, which Windows 7 SP1 lacks"; failed=1; }
    done
    while read -r dll function; do
        grep -qxF -- "$function" <<<"$(tr ' ' '\n' <<<"$newer_functions")" &&
            { echo "FAIL: $name imports $function from $dll, which Windows 7 SP1 lacks"; failed=1; }
    done <<<"$imports"
done
[ $failed = 0 ] && echo "PASS: $* import only what Windows 7 SP1 has"
exit $failed
