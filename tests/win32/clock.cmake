# CTime's table against the local time of the Windows C runtime (under Wine, its msvcrt).
skyvane_add_wine_test(tests_win32_clock
  SOURCES ${T}/platform/clock/TimeTest.cpp
  LIBS platform_clock)
