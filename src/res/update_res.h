// Resource ids of the update download dialog and the about box.
#pragma once

// Update download ("更新下载中...")
#define IDD_DOWNLOAD_UPDATE 215
#define IDC_DOWNLOAD_PROGRESS 1012
#define IDC_DOWNLOAD_STATUS 1013
#define IDC_DOWNLOAD_CANCEL 1015

// About box ("关于")
#define IDD_ABOUT 356
#define IDC_ABOUT_TEXT 1030
