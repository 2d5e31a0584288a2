// The program's one application object; the framework's WinMain runs it.
#include "app/main_app.h"

static CMainApp theApp;
