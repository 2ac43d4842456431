// Entry point of pelinor.exe.
#include <windows.h>

#include "app/app_win.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int show) { return app::AppMain(cmdLine, show); }
