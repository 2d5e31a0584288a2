// The application object: prepares the UI thread and runs the main dialog
// modally for the whole life of the process.
#pragma once

#include "framework/app.h"

class CMainApp : public CWinApp {
public:
    // Runs the main dialog until it ends; answers false, so the process ends.
    BOOL InitInstance() override;
};
