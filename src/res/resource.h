// Resource ids shared by the resource script and the code.
#pragma once

#define IDI_SMALL 128
#define IDD_MAINDLG 129
