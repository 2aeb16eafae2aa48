// Resource ids shared by the program and its resource script.
#pragma once

#define IDD_NOTICE_DIALOG 102
#define IDI_APP_ICON 128

#define IDC_LINK 1000
#define IDC_REQUIREMENT_TEXT 1001
#define IDC_ICON_VIEW 1003
#define IDC_DOWNLOAD_TEXT 1004

// String block 9 (ids 128 to 143): the notice texts.
#define IDS_OK 135
#define IDS_IE8_REQUIRED 136
#define IDS_CLICK_BUTTON 137
#define IDS_DOWNLOAD_HINT 138
#define IDS_SETUP_INTERRUPTED 139
#define IDS_LINK_ACTION 140
