// Resource ids of the dialogs.
#pragma once

// Link input ("新增订阅源" / "编辑订阅源")
#define IDD_INPUT_RSS 353
#define IDC_RSS_NAME 1011
#define IDC_RSS_URL 1004

// Custom links ("自定义")
#define IDD_CUSTOM_LINKS 354
#define IDC_LINK_LIST 1026
#define IDC_LINK_ADD 1027
#define IDC_LINK_EDIT 1028
#define IDC_LINK_DELETE 1029
#define IDC_LINK_UP 1031
#define IDC_LINK_DOWN 1032

// Subscription choice ("选择订阅源")
#define IDD_CHOOSE_RSS 355
#define IDC_RSS_COMBO 1003
#define IDC_RSS_NEW 1027

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
