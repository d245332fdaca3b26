#ifndef KBD_UI_WNDMAIN_H
#define KBD_UI_WNDMAIN_H

// The wizard's frame window: a fixed-size window with a painted banner strip (icon and product
// name) above the page, the close question, and the handlers of the pages' private messages.

#include "ui/WndBase.h"

class CWndMain : public CWndBase
{
public:
    CWndMain();
    virtual ~CWndMain();

    int OnMessage() override;
    int OnCreate() override;
    int OnPaint() override;
    int OnDestroy() override;
    int OnClose() override;

    virtual int OnFinish();
    virtual int ShowDonePage();
    virtual int OnBack();
    virtual int OnNext();
    virtual int ShowSetupPage();
    virtual int ShowExpertPage1();
    virtual int ShowExpertPage2();

    void RegisterFrameClass();
    int CreateFrameWindow(int titleId, uint32_t style, int width, int height);
    void PaintBanner(HDC dc);
};

#endif
