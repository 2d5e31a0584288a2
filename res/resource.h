// Identifiers shared by the resource script and the code.
#pragma once

// Dialog templates, icon and strings.
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_QUARRION_DIALOG 102
#define IDR_MAINFRAME 128

// The About entry of the system menu.
#define IDM_ABOUTBOX 0x0010

// Controls of the main dialog.
#define IDC_CPU_NAME 1000
#define IDC_CLOCK_TEXT 1001
#define IDC_USE_MMX 1006
#define IDC_USE_SSE 1007
#define IDC_START_STOP 1008
#define IDC_BAR_PI 1010
#define IDC_BAR_FIBONACCI 1011
#define IDC_BAR_PRIME 1012
#define IDC_BAR_CHIPSET_MEMORY 1013
#define IDC_BAR_COMPLEX_MATRIX 1014
#define IDC_BAR_CPU_CHIPSET 1015
#define IDC_ERROR_TEXT 1016
