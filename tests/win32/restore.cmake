# The restore records of both configurators on the real registry (under Wine, one without
# transactions), with the browsers' rows of the tests over the test stores.
skyvane_add_wine_test(tests_win32_restore
  SOURCES ${T}/win32/RestoreRecordsTest.cpp $<TARGET_OBJECTS:system_browsers>
          $<TARGET_OBJECTS:system_settings>
  LIBS platform_base advapi32 ktmw32)
target_include_directories(tests_win32_restore PRIVATE ${T}/browsers)
