// The welcome page.
#include "ui/pages/Welcome.h"

#include "core/Install.h"
#include "ui/Wizard.h"

namespace
{
const uint32_t kThisVersion = 190;
const int kStringProductName = 0;
const int kStringProductShort = 81;
const int kStringTitleInstalled = 141;
const int kStringBodyInstalled = 136;
const int kStringTitleInstall = 97;
const int kStringBodyInstall = 131;
const int kStringNotAdmin = 123;
const int kStringUninstallQuestion = 129;

enum
{
    kIdLanguageList = 2002,
    kIdModify = 2003,
    kIdTitle = 308,
    kIdBody = 309,
    kIdCancel = 300,
    kIdUninstall = 315,
    kIdDocument = 2,
    kIdNext = 1
};

const ControlText kTexts[] = {
    {307, 1}, {kIdUninstall, 127}, {kIdCancel, 98}, {kIdNext, 99}, {kIdDocument, 140},
    {kIdModify, 128}, {0, 0}};

const ComboItem kLanguages[] = {{92, 0}, {91, 1}, {0, 0}};
}

CDlgWelcome::CDlgWelcome()
{
}

CDlgWelcome::~CDlgWelcome()
{
}

int CDlgWelcome::IsInstalledMode()
{
    CInstall* installer = Installer();
    return installer && installer->m_installedVersion == kThisVersion;
}

void CDlgWelcome::SetPageTexts()
{
    int installed = IsInstalledMode();
    SetFocus(GetDlgItem(m_hWnd, installed ? kIdDocument : kIdNext));
    GString format, argument, title, body;
    LoadText(installed ? kStringTitleInstalled : kStringTitleInstall, format);
    LoadText(kStringProductShort, argument);
    LoadText(installed ? kStringBodyInstalled : kStringBodyInstall, body);
    if (format.wide && argument.wide &&
        Format(&title, format.WideText(0), argument.WideText(0)))
        SetControlText(kIdTitle, title.WideText(0));
    else
        SetControlText(kIdTitle, L"");
    SetControlText(kIdBody, body.wide ? body.WideText(0) : L"");
    SetControlTexts(kTexts);
    CInstall* installer = Installer();
    FillComboById(kIdLanguageList, kLanguages, installer ? installer->m_uiLanguage : 0);
}

int CDlgWelcome::OnInitDialog()
{
    SetPageNumber(kPageWelcome);
    FitFrame();
    SetPageTexts();
    int installed = IsInstalledMode();
    const int installedControls[] = {kIdUninstall, kIdDocument, kIdModify};
    for (int id : installedControls)
    {
        EnableControl(id, installed);
        ShowControl(id, installed);
    }
    EnableControl(kIdNext, !installed);
    ShowControl(kIdNext, !installed);
    SetForegroundWindow(m_hWnd);
    return 1;
}

int CDlgWelcome::OnCommand()
{
    CInstall* installer = Installer();
    if (m_notifyCode == CBN_SELENDOK && m_controlId == kIdLanguageList)
    {
        if (installer)
            installer->SetUiLanguage(static_cast<int>(ComboSelectedData(kIdLanguageList)));
        SetPageTexts();
        return 0;
    }
    if (m_notifyCode != 0)
        return 0;
    switch (m_controlId)
    {
    case kIdCancel:
        PostToFrame(WMU_CLOSE);
        return 1;
    case kIdNext:
        if (!IsInstalledMode())
            PostToFrame(WMU_NEXT);
        return 1;
    case kIdDocument:
        if (installer)
            installer->OpenExternalDocument();
        return 1;
    case kIdUninstall:
    {
        if (!installer)
            return 1;
        if (!installer->m_isAdmin)
        {
            MessageBoxById(kStringNotAdmin, MB_OK);
            SetPageNumber(kPageFinished);
            PostToFrame(WMU_CLOSE);
            return 1;
        }
        GString format, product, question;
        LoadText(kStringUninstallQuestion, format);
        LoadText(kStringProductName, product);
        if (!format.wide || !product.wide ||
            !Format(&question, format.WideText(0), product.WideText(0)))
            question.ClearAs(1);
        if (MessageBoxText(question.WideText(0), MB_YESNO | MB_ICONQUESTION) != IDYES)
            return 1;
        if (m_owner)
            m_owner->DisablePageControls();
        if (installer->Uninstall())
        {
            SetPageNumber(kPageFinished);
            PostToFrame(WMU_DONE);
        }
        return 1;
    }
    case kIdModify:
        if (IsInstalledMode() && installer)
        {
            installer->SetModifyOnly(1);
            SetPageNumber(kPageSetup);
            PostToFrame(WMU_SETUP);
        }
        return 0;
    default:
        return 0;
    }
}
