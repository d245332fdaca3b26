#ifndef KBD_UI_PAGES_DONE_H
#define KBD_UI_PAGES_DONE_H

// The last page: the result of the installation or uninstallation and the restart button.

#include "ui/WndBase.h"

class CDlgDone : public CWndBase
{
public:
    CDlgDone();
    virtual ~CDlgDone();

    int OnCommand() override;
    int OnInitDialog() override;
};

#endif
