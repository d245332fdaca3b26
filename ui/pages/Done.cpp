// The done page.
#include "ui/pages/Done.h"

#include "core/Install.h"
#include "ui/Wizard.h"

namespace
{
const int kStringUninstalled = 130;
const int kStringInstalled = 136;
const int kStringRestartNote = 135;
const int kStringNoViewer = 133;
// Before Windows Vista the restart note names the product: a one-argument format.
const int kStringRestartNoteOld = 134;
const int kStringProductShort = 81;

enum
{
    kIdUpper = 1209,
    kIdLower = 1204,
    kIdRestart = 1213
};

const ControlText kTexts[] = {{kIdRestart, 137}, {0, 0}};
}

CDlgDone::CDlgDone()
{
}

CDlgDone::~CDlgDone()
{
}

int CDlgDone::OnInitDialog()
{
    CInstall* installer = Installer();
    if (!installer)
        return 0;
    SetPageNumber(kPageFinished);
    FitFrame();
    SetControlTexts(kTexts);
    GString upper, lower;
    upper.ClearAs(1);
    lower.ClearAs(1);
    if (installer->m_uninstalled)
    {
        LoadText(kStringUninstalled, lower);
    }
    else
    {
        LoadText(kStringInstalled, upper);
        if (installer->m_osVersionCode >= 60)
        {
            LoadText(kStringRestartNote, lower);
        }
        else
        {
            GString format, product;
            LoadText(kStringRestartNoteOld, format);
            LoadText(kStringProductShort, product);
            if (!format.wide || !product.wide ||
                !Format(&lower, format.WideText(0), product.WideText(0)))
                lower.ClearAs(1);
        }
        if (!installer->m_docViewerOk)
        {
            GString note;
            lower.MakeWide(-1);
            lower.AppendWide(L"\n\n");
            if (LoadText(kStringNoViewer, note) && note.wide)
                lower.Append(note);
        }
    }
    SetControlText(kIdUpper, upper.wide && upper.WideText(0) ? upper.WideText(0) : L"");
    SetControlText(kIdLower, lower.wide && lower.WideText(0) ? lower.WideText(0) : L"");
    SetFocus(GetDlgItem(m_hWnd, kIdRestart));
    SetForegroundWindow(m_hWnd);
    return 1;
}

int CDlgDone::OnCommand()
{
    if (m_notifyCode == 0 && m_controlId == kIdRestart)
    {
        SetPageNumber(kPageFinished);
        PostToFrame(WMU_FINISH);
        return 1;
    }
    return 0;
}
