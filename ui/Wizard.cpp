// The wizard controller: banner font, message loop, page slots and their release, message boxes.
#include "ui/Wizard.h"

#include <commctrl.h>
#include <stdlib.h>
#include <string.h>

#include "core/Install.h"
#include "ui/WndMain.h"
#include "ui/pages/Done.h"
#include "ui/pages/Eula.h"
#include "ui/pages/Expert1.h"
#include "ui/pages/Expert2.h"
#include "ui/pages/Setup.h"
#include "ui/pages/Welcome.h"

namespace
{
const int kStringBannerFont = 40;
const int kStringCaption = 93;
const int kFrameTitle = 93;
const uint32_t kFrameStyle = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
const int kFrameWidth = 500;
const int kFrameHeight = 400;
const WORD kAccelerators = 130;
const int kFaceNameChars = LF_FACESIZE - 1;
}

CWizard::CWizard(CInstall* installer)
    : m_hInstance(nullptr), m_installer(installer), m_frame(nullptr), m_activePage(nullptr),
      m_welcomePage(nullptr), m_licencePage(nullptr), m_setupPage(nullptr),
      m_expertPage1(nullptr), m_expertPage2(nullptr), m_donePage(nullptr),
      m_bannerFont(nullptr), m_frameFitted(0), m_bannerHeight(0)
{
}

CWizard::~CWizard()
{
    DestroyWindows();
}

int CWizard::Init(HINSTANCE instance)
{
    m_hInstance = instance;
    if (!m_installer || !instance)
        return 0;
    LOGFONTW font;
    memset(&font, 0, sizeof(font));
    font.lfHeight = -30;
    font.lfWeight = FW_BOLD;
    if (LoadText(kStringBannerFont) && m_text.wide)
    {
        int count = m_text.length < kFaceNameChars ? m_text.length : kFaceNameChars;
        memcpy(font.lfFaceName, m_text.WideText(0), count * sizeof(wchar_t));
    }
    m_bannerFont = CreateFontIndirectW(&font);
    InitCommonControls();
    return 1;
}

int CWizard::RunMessageLoop()
{
    CWndMain* frame = new CWndMain;
    if (!frame)
        return 0;
    m_frame = frame;
    frame->m_owner = this;
    frame->RegisterFrameClass();
    // The frame's WM_CREATE opens the welcome page, whose initialisation fits the frame around
    // it, so the frame is first shown at its final size.
    if (!frame->CreateFrameWindow(kFrameTitle, kFrameStyle, kFrameWidth, kFrameHeight))
    {
        // Without a window nothing could ever end the loop.
        if (m_frame)
        {
            CWndMain* left = m_frame;
            m_frame = nullptr;
            delete left;
        }
        return 0;
    }
    HACCEL accelerators = LoadAcceleratorsW(m_hInstance, MAKEINTRESOURCEW(kAccelerators));
    MSG msg;
    for (;;)
    {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0 || got == -1)
            break;
        if (m_activePage && m_activePage->m_hWnd)
        {
            if (IsDialogMessageW(m_activePage->m_hWnd, &msg))
                continue;
            HWND frameWindow = FrameWindow();
            if (accelerators && frameWindow &&
                TranslateAcceleratorW(frameWindow, accelerators, &msg))
                continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 1;
}

int CWizard::ShowPage(uint16_t templateId, CWndBase* page)
{
    if (!page)
        return 0;
    if (m_activePage)
        m_activePage->DestroyAttached();
    m_activePage = page;
    page->m_owner = this;
    page->CreatePage(templateId, FrameWindow());
    return 1;
}

template <class T> int CWizard::OpenPage(T*& slot, uint16_t templateId)
{
    if (slot)
        return 0;
    slot = new T;
    if (!slot)
        return 0;
    return ShowPage(templateId, slot);
}

int CWizard::OpenWelcomePage()
{
    return OpenPage(m_welcomePage, kTemplateWelcome);
}

int CWizard::OpenLicencePage()
{
    return OpenPage(m_licencePage, kTemplateLicence);
}

int CWizard::OpenSetupPage()
{
    return OpenPage(m_setupPage, kTemplateSetup);
}

int CWizard::OpenExpertPage1()
{
    return OpenPage(m_expertPage1, kTemplateExpert1);
}

int CWizard::OpenExpertPage2()
{
    return OpenPage(m_expertPage2, kTemplateExpert2);
}

int CWizard::OpenDonePage()
{
    return OpenPage(m_donePage, kTemplateDone);
}

void CWizard::ReleaseWrapper(CWndBase* wrapper)
{
    if (!wrapper)
        return;
    if (wrapper == m_activePage)
        m_activePage = nullptr;
    if (wrapper == m_frame)
    {
        m_frame = nullptr;
        delete wrapper;
    }
    else if (wrapper == m_welcomePage)
    {
        m_welcomePage = nullptr;
        delete wrapper;
    }
    else if (wrapper == m_licencePage)
    {
        m_licencePage = nullptr;
        delete wrapper;
    }
    else if (wrapper == m_setupPage)
    {
        m_setupPage = nullptr;
        delete wrapper;
    }
    else if (wrapper == m_expertPage1)
    {
        m_expertPage1 = nullptr;
        delete wrapper;
    }
    else if (wrapper == m_expertPage2)
    {
        m_expertPage2 = nullptr;
        delete wrapper;
    }
    else if (wrapper == m_donePage)
    {
        m_donePage = nullptr;
        delete wrapper;
    }
}

namespace
{
// Empties the slot before deleting, so that the release the window's destruction triggers
// finds nothing left to delete.
template <class T> void DeleteSlot(T*& slot)
{
    T* wrapper = slot;
    slot = nullptr;
    delete wrapper;
}
}

void CWizard::DestroyWindows()
{
    if (m_bannerFont)
    {
        DeleteObject(m_bannerFont);
        m_bannerFont = nullptr;
    }
    m_activePage = nullptr;
    DeleteSlot(m_frame);
    DeleteSlot(m_welcomePage);
    DeleteSlot(m_licencePage);
    DeleteSlot(m_setupPage);
    DeleteSlot(m_expertPage1);
    DeleteSlot(m_expertPage2);
    DeleteSlot(m_donePage);
    m_activePage = nullptr;
}

void CWizard::DisablePageControls()
{
    if (!m_activePage || !m_activePage->m_hWnd)
        return;
    for (HWND child = GetWindow(m_activePage->m_hWnd, GW_CHILD); child;
         child = GetWindow(child, GW_HWNDNEXT))
        EnableWindow(child, FALSE);
}

HWND CWizard::FrameWindow() const
{
    return m_frame ? m_frame->m_hWnd : nullptr;
}

int CWizard::LoadText(int id)
{
    return LoadText(id, m_text);
}

int CWizard::LoadText(int id, GString& out)
{
    if (!m_installer)
    {
        out.ClearAs(1);
        return 0;
    }
    return m_installer->LoadText(id, out);
}

int CWizard::MessageBoxText(const wchar_t* text, unsigned int flags)
{
    LoadText(kStringCaption);
    const wchar_t* caption = m_text.wide ? m_text.WideText(0) : nullptr;
    return MessageBoxW(FrameWindow(), text ? text : L"", caption ? caption : L"", flags);
}

int CWizard::MessageBoxById(int id, unsigned int flags)
{
    GString text;
    LoadText(id, text);
    const wchar_t* wide = text.wide ? text.WideText(0) : nullptr;
    return MessageBoxText(wide, flags);
}

int CWizard::LoadLicenceText(const unsigned char* blob, int size, GString& out)
{
    if (!blob || size <= 0 || !m_installer)
        return 0;
    int length = size;
    int itemCount = 0;
    unsigned char* decoded = m_installer->m_guard.Decode(blob, &length, &itemCount);
    if (!decoded)
        return 0;
    const unsigned char* text = decoded;
    if (length > 2 && text[0] == 0xEF && text[1] == 0xBB && text[2] == 0xBF)
    {
        text += 3;
        length -= 3;
    }
    out.ClearAs(0);
    int result = out.AppendNarrow(reinterpret_cast<const char*>(text), length, 0);
    free(decoded);
    return result;
}
