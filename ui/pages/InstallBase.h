#ifndef KBD_UI_PAGES_INSTALLBASE_H
#define KBD_UI_PAGES_INSTALLBASE_H

// The common base of the first expert page; it adds nothing to the window wrapper.

#include "ui/WndBase.h"

class CDlgInstallBase : public CWndBase
{
public:
    CDlgInstallBase();
    virtual ~CDlgInstallBase();
};

#endif
