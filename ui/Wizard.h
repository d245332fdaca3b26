#ifndef KBD_UI_WIZARD_H
#define KBD_UI_WIZARD_H

// The wizard's controller: owns the frame window and the pages, runs the message loop and shows
// message boxes by string id.

#include <windows.h>

class CInstall;

class CWizard
{
public:
    explicit CWizard(CInstall* install);
    ~CWizard();

    int Init(HINSTANCE instance);
    HWND FrameWindow() const;
    int RunMessageLoop();
    void DestroyWindows();
    int MessageBoxById(int id, unsigned int flags);

private:
    CWizard(const CWizard&);
    CWizard& operator=(const CWizard&);

    CInstall* m_install;
    HINSTANCE m_hInstance;
    HWND m_frame;
};

#endif
