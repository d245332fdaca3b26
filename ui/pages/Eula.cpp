// The licence agreement page.
#include "ui/pages/Eula.h"

#include "core/Install.h"
#include "payload/AssetStore.h"
#include "ui/Wizard.h"

namespace
{
enum
{
    kIdTitle = 311,
    kIdText = 306,
    kIdCancel = 300,
    kIdAccept = 305,
    kIdBack = 301,
    kIdNext = 1
};

const ControlText kTexts[] = {
    {kIdTitle, 132}, {kIdAccept, 105}, {kIdCancel, 98}, {kIdBack, 100}, {kIdNext, 99}, {0, 0}};
}

CDlgEula::CDlgEula()
{
}

CDlgEula::~CDlgEula()
{
}

int CDlgEula::OnInitDialog()
{
    CInstall* installer = Installer();
    if (!installer)
        return 0;
    SetPageNumber(kPageLicence);
    FitFrame();
    int accepted = installer->m_licenceAccepted ? 1 : 0;
    SetCheck(kIdAccept, accepted);
    EnableControl(kIdNext, accepted);
    SetControlTexts(kTexts);
    int language = installer->m_uiLanguage == 1 ? 1 : 0;
    GString licence;
    if (m_owner &&
        m_owner->LoadLicenceText(LicenceTable[language].blob, LicenceTable[language].length,
                                 licence) &&
        licence.MakeWide(0))
        SetDlgItemTextW(m_hWnd, kIdText, licence.WideText(0));
    SetFocus(GetDlgItem(m_hWnd, kIdAccept));
    SetForegroundWindow(m_hWnd);
    return 1;
}

int CDlgEula::OnCommand()
{
    if (m_notifyCode == EN_SETFOCUS)
    {
        if (m_controlId == kIdText)
            SendDlgItemMessageW(m_hWnd, kIdText, EM_SETSEL, static_cast<WPARAM>(-1), -1);
        return 1;
    }
    if (m_notifyCode != 0)
        return 0;
    switch (m_controlId)
    {
    case kIdNext:
        PostToFrame(WMU_NEXT);
        return 1;
    case kIdCancel:
        PostToFrame(WMU_CLOSE);
        return 1;
    case kIdBack:
        PostToFrame(WMU_BACK);
        return 1;
    case kIdAccept:
    {
        int accepted = IsChecked(kIdAccept);
        EnableControl(kIdNext, accepted);
        CInstall* installer = Installer();
        if (installer)
            installer->m_licenceAccepted = accepted;
        return 1;
    }
    default:
        return 0;
    }
}
