#include "ui/Wizard.h"

#include <commctrl.h>

#include "core/Install.h"

namespace
{
const int kStringCaption = 93;
}

CWizard::CWizard(CInstall* install) : m_install(install), m_hInstance(nullptr), m_frame(nullptr)
{
}

CWizard::~CWizard()
{
    DestroyWindows();
}

int CWizard::Init(HINSTANCE instance)
{
    if (!instance)
        return 0;
    m_hInstance = instance;
    INITCOMMONCONTROLSEX controls;
    controls.dwSize = sizeof(controls);
    controls.dwICC = ICC_WIN95_CLASSES;
    InitCommonControlsEx(&controls);
    return 1;
}

HWND CWizard::FrameWindow() const
{
    return m_frame;
}

int CWizard::RunMessageLoop()
{
    // The frame window and its pages are not built yet: there is no loop to run.
    return 0;
}

void CWizard::DestroyWindows()
{
    if (m_frame)
    {
        DestroyWindow(m_frame);
        m_frame = nullptr;
    }
}

int CWizard::MessageBoxById(int id, unsigned int flags)
{
    GString text;
    GString caption;
    m_install->LoadText(id, text);
    m_install->LoadText(kStringCaption, caption);
    text.MakeWide(-1);
    caption.MakeWide(-1);
    return MessageBoxW(m_frame, text.WideText(0), caption.WideText(0), flags);
}
