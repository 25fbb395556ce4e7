#pragma once
// Resource and command identifiers of mirpanel.

#define IDS_APP_TITLE 103
#define IDD_ABOUTBOX 103
#define IDM_ABOUT 104
#define IDM_EXIT 105
#define IDI_MIRPANEL 107
#define IDI_SMALL 108
#define IDC_MIRPANEL 109
#define IDM_WEBPAGE 111
