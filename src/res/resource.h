// Resource ids shared by the resource script and the code.
#pragma once

#define IDI_SMALL 128
#define IDD_MAINDLG 129

#include "widgets_res.h"
#include "dialogs_res.h"
#include "menus_res.h"
