// Resource numbers of the launcher: dialog templates, controls, icons and strings.
#pragma once

#define IDD_ABOUTBOX 100
#define IDD_SPLASH 105
#define IDR_MAINFRAME 128
#define IDD_DIALER 130
#define IDD_CONNECT 133

// Dialer dialog (130).
#define IDC_ENTRY_LIST 1001
#define IDC_USER_NAME 1002
#define IDC_PASSWORD 1003
#define IDC_DOMAIN 1004
#define IDC_ATTEMPTS 1021
#define IDC_ATTEMPTS_SPIN 1022
#define IDC_DELAY 1023
#define IDC_DELAY_SPIN 1024
#define IDC_SAVE_PASSWORD 1026
#define IDC_START_WITHOUT_DIALING 1027

// Connect dialog (133).
#define IDC_STATUS_LINE 1013
#define IDC_ATTEMPT_LINE 1025

// Splash dialog (105).
#define IDC_ICON_BUTTON 1008
