// Resource ids of the bare dialog program.
#pragma once

#define IDD_BARE_DIALOG 102
#define IDI_BARE_ICON 128

#define IDC_BARE_LINK 1000
#define IDC_BARE_UPPER_TEXT 1001
#define IDC_BARE_ICON_VIEW 1003
#define IDC_BARE_LOWER_TEXT 1004
