#ifndef KBD_UI_PAGES_EULA_H
#define KBD_UI_PAGES_EULA_H

// The licence agreement page: the licence text of the interface language and the acceptance box
// that gates Next.

#include "ui/WndBase.h"

class CDlgEula : public CWndBase
{
public:
    CDlgEula();
    virtual ~CDlgEula();

    int OnCommand() override;
    int OnInitDialog() override;
};

#endif
