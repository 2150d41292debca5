# The dial-up calls on Windows. platform_dialup_win32 is what the system code links: the six Ras
# calls of platform/ras.h, which go to the installed backend, else to the real rasapi32.dll
# (loaded at run time). platform_dialup_service_win32 adds this project's own service
# (phone book, dialing thread, state folder), which the launcher installs when SKYVANE_PHONEBOOK
# is set (OpenDialupFromEnvironment); its notifications are posted with the real user32.
set(skyvane_dialup_dir ${PROJECT_SOURCE_DIR}/platform/dialup)

add_library(platform_dialup_win32 STATIC ${skyvane_dialup_dir}/RasApi.cpp
                                         ${skyvane_dialup_dir}/SystemRasWin32.cpp)
target_link_libraries(platform_dialup_win32 PUBLIC platform_base)

add_library(platform_dialup_service_win32 STATIC
            ${skyvane_dialup_dir}/DialupService.cpp ${skyvane_dialup_dir}/PhoneBook.cpp
            ${skyvane_dialup_dir}/ConnectionStore.cpp ${skyvane_dialup_dir}/LocalFilesWin32.cpp)
target_link_libraries(platform_dialup_service_win32 PUBLIC platform_dialup_win32 user32 advapi32)
target_include_directories(platform_dialup_service_win32 PRIVATE ${skyvane_dialup_dir})
