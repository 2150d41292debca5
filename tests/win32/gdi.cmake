# The GDI table on gdi32's memory device contexts, with the launcher's resources (icon 128).
skyvane_add_wine_test(tests_win32_gdi
  SOURCES ${T}/platform/windows/GdiTest.cpp
  LIBS platform_ui_win32_gdi skyvane_launcher_rc)
