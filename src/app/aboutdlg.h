#pragma once
// The about box: the program's name and version and an OK button, nothing more.
#include "platform/ui/dialog.h"

class CAboutDlg : public platform::Dialog {
public:
    enum { IDD = 100 };
    CAboutDlg() : platform::Dialog(IDD) {}
};
