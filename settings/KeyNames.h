// The program's own keys below HKEY_LOCAL_MACHINE. The installation creates the product key and
// the install key; the launcher creates only the Restore key, where it records browser values
// before it changes them.
#pragma once

#define SKYVANE_KEY_BASE "SOFTWARE\\Ostrel Technologies\\Skyvane"

// "Browser exe", "Last Update", the dial-up choices.
inline constexpr const char* SKYVANE_PRODUCT_KEY = SKYVANE_KEY_BASE;
// "InstallDir".
inline constexpr const char* SKYVANE_INSTALL_KEY = SKYVANE_KEY_BASE "\\1.0";
// The records of the browser values the launcher changed.
inline constexpr const char* SKYVANE_RESTORE_KEY = SKYVANE_KEY_BASE "\\Restore";

#undef SKYVANE_KEY_BASE
