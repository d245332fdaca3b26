#ifndef KBD_UI_WIZARD_H
#define KBD_UI_WIZARD_H

// The wizard's controller: owns the frame window and one wrapper slot per page, runs the message
// loop, switches pages when the frame asks, and shows message boxes by string id.

#include <windows.h>
#include <stdint.h>

#include "text/GString.h"

class CInstall;
class CWndBase;
class CWndMain;
class CDlgWelcome;
class CDlgEula;
class CDlgSetup;
class CDlgExpert1;
class CDlgExpert2;
class CDlgDone;

// Private messages a page posts to the frame (wParam = lParam = 0).
enum
{
    WMU_CLOSE = WM_USER + 1,
    WMU_BACK,
    WMU_NEXT,
    WMU_SETUP,
    WMU_EXPERT1,
    WMU_EXPERT2,
    WMU_DONE,
    WMU_FINISH
};

// Page numbers kept in the installer's m_currentPage.
enum
{
    kPageNone = 0,
    kPageWelcome = 1,
    kPageLicence = 2,
    kPageSetup = 3,
    kPageExpert = 4,
    kPageFinished = 6
};

// Dialog templates of the pages.
enum
{
    kTemplateWelcome = 200,
    kTemplateLicence = 201,
    kTemplateSetup = 202,
    kTemplateDone = 203,
    kTemplateExpert1 = 204,
    kTemplateExpert2 = 205
};

class CWizard
{
public:
    explicit CWizard(CInstall* installer);
    ~CWizard();

    int Init(HINSTANCE instance);
    int RunMessageLoop();
    int ShowPage(uint16_t templateId, CWndBase* page);
    int OpenWelcomePage();
    int OpenLicencePage();
    int OpenSetupPage();
    int OpenExpertPage1();
    int OpenExpertPage2();
    int OpenDonePage();
    void ReleaseWrapper(CWndBase* wrapper);
    void DestroyWindows();
    void DisablePageControls();
    HWND FrameWindow() const;
    int LoadText(int id);
    int LoadText(int id, GString& out);
    int MessageBoxText(const wchar_t* text, unsigned int flags);
    int MessageBoxById(int id, unsigned int flags);
    // Decodes a licence blob of the asset store into out as UTF-8 text without byte-order mark.
    int LoadLicenceText(const unsigned char* blob, int size, GString& out);

    HINSTANCE m_hInstance;
    CInstall* m_installer;
    CWndMain* m_frame;
    CWndBase* m_activePage;
    CDlgWelcome* m_welcomePage;
    CDlgEula* m_licencePage;
    CDlgSetup* m_setupPage;
    CDlgExpert1* m_expertPage1;
    CDlgExpert2* m_expertPage2;
    CDlgDone* m_donePage;
    GString m_text;
    HFONT m_bannerFont;
    int32_t m_frameFitted;
    int32_t m_bannerHeight;

private:
    CWizard(const CWizard&);
    CWizard& operator=(const CWizard&);

    template <class T> int OpenPage(T*& slot, uint16_t templateId);
};

#endif
