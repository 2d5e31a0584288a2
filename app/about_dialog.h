// The About box: template 100 and nothing of its own; OK (ID 1) ends it.
#pragma once

#include "framework/dialog.h"
#include "res/resource.h"

class CAboutDialog : public CDialog {
public:
    CAboutDialog() : CDialog(IDD_ABOUTBOX) {}
};
