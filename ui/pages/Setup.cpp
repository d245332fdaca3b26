// The setup page.
#include "ui/pages/Setup.h"

#include <stdlib.h>
#include <wchar.h>

#include "core/Install.h"
#include "ui/Wizard.h"

namespace
{
const int kStringProductShort = 81;
const int kStringLanguageLabel = 101;
const int kStringDefaultLabel = 102;
const int kStringNotAdmin = 123;
const int kStringInstallFailed = 143;

enum
{
    kIdLanguageLabel = 313,
    kIdLanguageList = 1202,
    kIdSetAsDefault = 1200,
    kIdHotkeys = 1205,
    kIdDesktop = 1212,
    kIdLayoutFlag = 1213,
    kIdVariantList = 1214,
    kIdDecimalList = 1215,
    kIdCancel = 300,
    kIdExpert1 = 303,
    kIdBack = 301,
    kIdInstall = 206,
    kIdExpert2 = 304,
    kIdNext = 1
};

const ControlText kTexts[] = {
    {300, 98}, {301, 100}, {313, 101}, {206, 104}, {1212, 106}, {1205, 139}, {1213, 109},
    {314, 110}, {316, 111}, {317, 112}, {303, 152}, {304, 153}, {0, 0}};
const ControlList kHidden[] = {kIdExpert2, 0};
const ComboItem kVariants[] = {{113, 0}, {114, 1}, {115, 2}, {0, 0}};
const ComboItem kDecimalVariants[] = {{119, 0}, {120, 1}, {0, 0}};

const int kNameChars = 1024;

// The locale enumeration calls back without a context value, so the fill keeps its state here.
struct LanguageFill
{
    HKL* layouts;
    int layoutCount;
    wchar_t* name;
    int nameCapacity;
    HWND list;
    uint16_t selectionId;
    GString selectedName;
};
LanguageFill g_fill = {nullptr, 0, nullptr, kNameChars, nullptr, 0, {}};

void ResetFill()
{
    free(g_fill.layouts);
    g_fill.layouts = nullptr;
    g_fill.layoutCount = 0;
    free(g_fill.name);
    g_fill.name = nullptr;
    g_fill.list = nullptr;
    g_fill.selectionId = 0;
    g_fill.selectedName.ClearAs(1);
}

BOOL CALLBACK AddLocale(LPWSTR text)
{
    if (!text || !g_fill.list || !g_fill.name)
        return FALSE;
    unsigned int locale = 0;
    if (swscanf(text, L"%x", &locale) != 1 || locale == 0)
        return FALSE;
    int accepted = locale == g_fill.selectionId;
    for (int i = 0; !accepted && i < g_fill.layoutCount; ++i)
        accepted = (reinterpret_cast<UINT_PTR>(g_fill.layouts[i]) & 0xFFFF) == (locale & 0xFFFF);
    if (!accepted)
        return TRUE;
    if (!GetLocaleInfoW(locale, LOCALE_SLANGUAGE, g_fill.name, g_fill.nameCapacity - 1))
        return FALSE;
    g_fill.name[g_fill.nameCapacity - 1] = 0;
    LRESULT index =
        SendMessageW(g_fill.list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(g_fill.name));
    if (index == CB_ERR || index == CB_ERRSPACE)
        return FALSE;
    SendMessageW(g_fill.list, CB_SETITEMDATA, static_cast<WPARAM>(index),
                 static_cast<LPARAM>(locale));
    if (locale == g_fill.selectionId)
        g_fill.selectedName.AssignWide(g_fill.name);
    return TRUE;
}
}

CDlgSetup::CDlgSetup()
{
    ResetFill();
}

CDlgSetup::~CDlgSetup()
{
    ResetFill();
}

int CDlgSetup::FillLanguageList()
{
    HWND list = GetDlgItem(m_hWnd, kIdLanguageList);
    if (!list)
        return 0;
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    uint16_t selection = g_fill.selectionId;
    ResetFill();
    g_fill.selectionId = selection;
    g_fill.name = static_cast<wchar_t*>(malloc(kNameChars * sizeof(wchar_t)));
    if (!g_fill.name)
        return 0;
    int count = GetKeyboardLayoutList(0, nullptr);
    if (count <= 0)
        return 0;
    g_fill.layouts = static_cast<HKL*>(malloc(count * sizeof(HKL)));
    if (!g_fill.layouts)
        return 0;
    g_fill.layoutCount = GetKeyboardLayoutList(count, g_fill.layouts);
    if (g_fill.layoutCount <= 0)
    {
        g_fill.layoutCount = 0;
        return 0;
    }
    g_fill.list = list;
    BOOL enumerated = EnumSystemLocalesW(AddLocale, LCID_INSTALLED);
    g_fill.list = nullptr;
    free(g_fill.name);
    g_fill.name = nullptr;
    if (!enumerated)
    {
        free(g_fill.layouts);
        g_fill.layouts = nullptr;
        g_fill.layoutCount = 0;
        return 0;
    }
    LRESULT items = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < items; ++i)
    {
        LRESULT data = SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(i), 0);
        if (static_cast<uint32_t>(data) == g_fill.selectionId)
        {
            SelectComboItem(list, static_cast<int>(i));
            break;
        }
    }
    return 1;
}

void CDlgSetup::UpdateDefaultLabel()
{
    CInstall* installer = Installer();
    if (!installer)
        return;
    GString format, label, product;
    LoadText(kStringDefaultLabel, format);
    LoadText(kStringProductShort, product);
    installer->m_layoutLanguageName.MakeWide(-1);
    const wchar_t* name = installer->m_layoutLanguageName.WideText(0);
    if (!format.wide || !Format(&label, format.WideText(0), name ? name : L""))
        label.ClearAs(1);
    label.AppendWide(L" - ");
    if (product.wide)
        label.Append(product);
    SetControlText(kIdSetAsDefault, label.WideText(0));
}

int CDlgSetup::OnInitDialog()
{
    SetPageNumber(kPageSetup);
    FitFrame();
    EnableControls(kHidden, 0);
    ShowControls(kHidden, 0);
    CInstall* installer = Installer();
    if (!installer)
        return 0;
    g_fill.selectionId = installer->m_layoutLanguageId;
    SetCheck(kIdLayoutFlag, installer->GetLayoutSetFlag());
    FillLanguageList();
    FillComboById(kIdVariantList, kVariants, installer->GetLayoutVariant());
    FillComboById(kIdDecimalList, kDecimalVariants, installer->GetDecimalVariant());
    installer->m_layoutLanguageName.Assign(g_fill.selectedName);
    UpdateDefaultLabel();

    int version = installer->m_osVersionCode;
    int modify = installer->m_modifyOnly ? 1 : 0;
    SetCheck(kIdHotkeys, modify ? 0 : installer->m_setHotkeyValues);
    ShowControl(kIdHotkeys, !modify);
    EnableControl(kIdHotkeys, !modify);
    int languageShown = version >= 60 && !modify;
    SetCheck(kIdSetAsDefault, languageShown ? installer->m_setAsDefault : 0);
    const int languageControls[] = {kIdSetAsDefault, kIdLanguageLabel, kIdLanguageList};
    for (int id : languageControls)
    {
        ShowControl(id, languageShown);
        EnableControl(id, languageShown);
    }
    if (version >= 62)
        installer->m_desktopShortcuts = 1;
    SetCheck(kIdDesktop, modify ? 0 : installer->m_desktopShortcuts);
    ShowControl(kIdDesktop, version < 62 && !modify);
    EnableControl(kIdDesktop, version < 62 && !modify);

    SetControlTexts(kTexts);
    GString format, product, label;
    LoadText(kStringLanguageLabel, format);
    LoadText(kStringProductShort, product);
    if (format.wide && product.wide && Format(&label, format.WideText(0), product.WideText(0)))
        SetControlText(kIdLanguageLabel, label.WideText(0));
    SetFocus(GetDlgItem(m_hWnd, kIdInstall));
    SetForegroundWindow(m_hWnd);
    return 0;
}

int CDlgSetup::OnLanguageChange()
{
    CInstall* installer = Installer();
    HWND list = GetDlgItem(m_hWnd, kIdLanguageList);
    if (!installer || !list)
        return 0;
    LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return 0;
    LRESULT data = SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
    installer->m_layoutLanguageId = static_cast<uint16_t>(data & 0xFFFF);
    LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length <= 0)
        return 0;
    GString name;
    wchar_t* text = name.BeginWideWrite(static_cast<int>(length) + 1);
    if (!text)
        return 0;
    LRESULT copied =
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text));
    if (copied < 0 || copied > length)
        copied = 0;
    text[copied] = 0;
    name.SetLength(static_cast<int>(copied));
    installer->m_layoutLanguageName.Assign(name);
    UpdateDefaultLabel();
    return 1;
}

int CDlgSetup::OnInstall()
{
    CInstall* installer = Installer();
    if (!installer)
        return 0;
    if (!installer->m_isAdmin)
    {
        MessageBoxById(kStringNotAdmin, MB_OK);
        SetPageNumber(kPageFinished);
        PostToFrame(WMU_CLOSE);
        return 1;
    }
    if (!installer->Install())
    {
        MessageBoxById(kStringInstallFailed, MB_OK);
        SetPageNumber(kPageFinished);
        PostToFrame(WMU_CLOSE);
        return 1;
    }
    SetPageNumber(kPageFinished);
    PostToFrame(WMU_DONE);
    return 1;
}

int CDlgSetup::OnCommand()
{
    CInstall* installer = Installer();
    if (m_notifyCode == CBN_SELCHANGE)
    {
        HWND list = GetDlgItem(m_hWnd, m_controlId);
        switch (m_controlId)
        {
        case kIdLanguageList:
            return OnLanguageChange();
        case kIdVariantList:
        case kIdDecimalList:
        {
            LRESULT index = list ? SendMessageW(list, CB_GETCURSEL, 0, 0) : CB_ERR;
            if (index == CB_ERR || !installer)
                return 0;
            int value = static_cast<int>(
                SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
            if (m_controlId == kIdVariantList)
                installer->SetLayoutVariant(value);
            else
                installer->SetDecimalVariant(value);
            return 1;
        }
        default:
            return 0;
        }
    }
    if (m_notifyCode != 0)
        return 0;
    switch (m_controlId)
    {
    case kIdNext:
        PostToFrame(WMU_NEXT);
        return 1;
    case kIdInstall:
        return OnInstall();
    case kIdCancel:
        PostToFrame(WMU_CLOSE);
        return 1;
    case kIdBack:
        PostToFrame(WMU_BACK);
        return 1;
    case kIdExpert1:
        PostToFrame(WMU_EXPERT1);
        return 1;
    case kIdExpert2:
        PostToFrame(WMU_EXPERT2);
        return 1;
    case kIdSetAsDefault:
        if (installer)
            installer->m_setAsDefault = IsChecked(kIdSetAsDefault);
        return 1;
    case kIdHotkeys:
        if (installer)
            installer->m_setHotkeyValues = IsChecked(kIdHotkeys);
        return 1;
    case kIdDesktop:
        if (installer)
            installer->m_desktopShortcuts = IsChecked(kIdDesktop);
        return 1;
    case kIdLayoutFlag:
        if (installer)
            installer->SetLayoutSetFlag(IsChecked(kIdLayoutFlag));
        return 1;
    default:
        return 0;
    }
}
