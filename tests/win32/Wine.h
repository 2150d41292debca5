// Whether a Windows test runs under Wine, whose libraries depart from the Windows
// documentation in a few places the tests name.
#pragma once

#include <windows.h>

inline bool RunsUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}
