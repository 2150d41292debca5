# The dial-up service's tables against the service built for Windows: its files in the prefix's
# folders, child processes through CreateProcessA, notifications posted to a real window.
skyvane_add_wine_test(tests_win32_dialup
  SOURCES ${T}/platform/dialup/DialupServiceTest.cpp ${T}/platform/dialup/DialupWindowTest.cpp
  LIBS platform_dialup_service_win32)
