#ifndef KBD_UI_PAGES_SETUP_H
#define KBD_UI_PAGES_SETUP_H

// The setup page: every installation option, written back to the installer at once, and the
// Install button.

#include "ui/WndBase.h"

class CDlgSetup : public CWndBase
{
public:
    CDlgSetup();
    virtual ~CDlgSetup();

    int OnCommand() override;
    int OnInitDialog() override;

private:
    int FillLanguageList();
    void UpdateDefaultLabel();
    int OnLanguageChange();
    int OnInstall();
};

#endif
