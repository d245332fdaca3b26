#ifndef KBD_UI_PAGES_WELCOME_H
#define KBD_UI_PAGES_WELCOME_H

// The first page: greeting, interface language, and the choice between installing and, for an
// installed copy of this version, uninstalling or changing its options.

#include "ui/WndBase.h"

class CDlgWelcome : public CWndBase
{
public:
    CDlgWelcome();
    virtual ~CDlgWelcome();

    int OnCommand() override;
    int OnInitDialog() override;

private:
    int IsInstalledMode();
    void SetPageTexts();
};

#endif
