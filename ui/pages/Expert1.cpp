// Expert page 1: virtual keys of modifier and special keys.
#include "ui/pages/Expert1.h"

#include <stdlib.h>

#include "core/Install.h"
#include "ui/Wizard.h"

namespace
{
enum
{
    kIdCancel = 300,
    kIdBack = 301,
    kIdThisPage = 303,
    kIdOtherPage = 304,
    kIdNext = 1,
    kFirstCheckBox = 1301,
    kFirstList = 1401,
    kListOffset = 100
};

const KeyRow kKeyRows[] = {
    {1401, 0x002A}, {1402, 0x0036}, {1403, 0x001D}, {1404, 0xE01D}, {1405, 0x0038},
    {1406, 0xE038}, {1407, 0xE05B}, {1408, 0xE05C}, {1409, 0xE05D}, {1410, 0x0056},
    {1411, 0x000F}, {1412, 0x003A}, {1413, 0x0046}, {1414, 0x0045}, {0, 0}};
const int kRows = sizeof(kKeyRows) / sizeof(kKeyRows[0]) - 1;

// Each choice is named after the key whose default virtual key it gives.
const ComboItem kChoices[] = {
    {154, 0x000}, {326, 0x0FF}, {176, 0x020}, {280, 0x0A0}, {281, 0x1A1}, {282, 0x0A2},
    {283, 0x1A3}, {284, 0x0A4}, {285, 0x1A5}, {228, 0x15B}, {229, 0x15C}, {230, 0x15D},
    {317, 0x0E2}, {175, 0x01B}, {311, 0x0C0}, {167, 0x009}, {174, 0x014}, {279, 0x091},
    {278, 0x090}, {189, 0x12D}, {190, 0x12E}, {180, 0x124}, {179, 0x123}, {177, 0x121},
    {178, 0x122}, {188, 0x02C}, {173, 0x013}, {0, 0}};

const ControlText kTexts[] = {{300, 98}, {301, 100}, {303, 152}, {0, 0}};
const ControlList kHidden[] = {1315, 1316, 1317, 1318, 1319, 1320,
                               1415, 1416, 1417, 1418, 1419, 1420, kIdOtherPage, 0};

const ComboItem* FindChoice(uint32_t value)
{
    for (const ComboItem* item = kChoices; item->stringId; ++item)
        if (static_cast<uint32_t>(item->value) == value)
            return item;
    return nullptr;
}

// Selects the item carrying value, or the first item when none does.
void SelectByData(HWND list, uint32_t value)
{
    LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i)
        if (static_cast<uint32_t>(SendMessageW(list, CB_GETITEMDATA, i, 0)) == value)
        {
            CWndBase::SelectComboItem(list, static_cast<int>(i));
            return;
        }
    CWndBase::SelectComboItem(list, 0);
}

// Removes item 0 when it is the no-change choice or the blank of an unchecked row: a list
// may never lose a real choice.
void RemoveBlankItem(HWND list)
{
    if (SendMessageW(list, CB_GETCOUNT, 0, 0) > 0 && SendMessageW(list, CB_GETITEMDATA, 0, 0) == 0)
        SendMessageW(list, CB_DELETESTRING, 0, 0);
}
}

CDlgExpert1::CDlgExpert1() : m_rowValues(nullptr), m_rowCount(0), m_listComplete(nullptr)
{
}

CDlgExpert1::~CDlgExpert1()
{
    free(m_rowValues);
    free(m_listComplete);
}

int CDlgExpert1::OnInitDialog()
{
    CInstall* installer = Installer();
    if (!installer)
        return 0;
    SetPageNumber(kPageExpert);
    FitFrame();
    EnableControls(kHidden, 0);
    ShowControls(kHidden, 0);
    SetControlTexts(kTexts);
    if (!m_rowValues)
        m_rowValues = static_cast<RowValue*>(calloc(kRows, sizeof(RowValue)));
    if (!m_listComplete)
        m_listComplete = static_cast<int32_t*>(calloc(kRows, sizeof(int32_t)));
    if (!m_rowValues || !m_listComplete)
    {
        free(m_rowValues);
        free(m_listComplete);
        m_rowValues = nullptr;
        m_listComplete = nullptr;
        m_rowCount = 0;
    }
    else
    {
        m_rowCount = kRows;
    }
    for (int i = 0; i < m_rowCount; ++i)
    {
        uint16_t scanCode = static_cast<uint16_t>(kKeyRows[i].scanCode);
        int listId = kKeyRows[i].listId;
        m_listComplete[i] = 0;
        m_rowValues[i].scanCode = scanCode;
        m_rowValues[i].value = 0;
        KeyEntry* entry = installer->FindKey(scanCode);
        if (entry)
        {
            m_rowValues[i].value = entry->virtualKey;
            SetControlTextById(listId - kListOffset, entry->nameId);
        }
        if (!m_rowValues[i].value)
            continue;
        SetCheck(listId - kListOffset, 1);
        EnableControl(listId, 1);
        const ComboItem* choice = FindChoice(m_rowValues[i].value);
        HWND list = GetDlgItem(m_hWnd, listId);
        if (choice && list)
        {
            const ComboItem single[] = {*choice, {0, 0}};
            FillCombo(list, single, choice->value);
        }
    }
    SetFocus(GetDlgItem(m_hWnd, kIdBack));
    SetForegroundWindow(m_hWnd);
    return 0;
}

int CDlgExpert1::ToggleRow(int checkBoxId)
{
    if (checkBoxId < kFirstCheckBox)
        return 0;
    int listId = checkBoxId + kListOffset;
    HWND list = GetDlgItem(m_hWnd, listId);
    if (!list)
        return 0;
    uint32_t scanCode = static_cast<uint32_t>(LookupValue(listId, kKeyRows));
    RowValue* row = FindPair(scanCode, m_rowValues, m_rowCount);
    if (!scanCode || !row)
        return 1;
    int index = static_cast<int>(row - m_rowValues);
    int on = IsChecked(checkBoxId);
    EnableControl(listId, on);
    if (on)
    {
        if (!m_listComplete[index])
        {
            FillCombo(list, kChoices, 0);
            RemoveBlankItem(list);
            m_listComplete[index] = 1;
        }
        else
        {
            RemoveBlankItem(list);
        }
        uint32_t value = row->value;
        if (!value)
        {
            CInstall* installer = Installer();
            const KeyEntry* key =
                installer ? installer->FindDefaultKey(static_cast<uint16_t>(scanCode)) : nullptr;
            value = key ? key->virtualKey : 0;
        }
        SelectByData(list, value);
    }
    else
    {
        row->value = static_cast<uint32_t>(ComboSelectedData(listId));
        LRESULT blank = SendMessageW(list, CB_INSERTSTRING, 0, reinterpret_cast<LPARAM>(L" "));
        if (blank == CB_ERR || blank == CB_ERRSPACE)
            return 1;
        SendMessageW(list, CB_SETITEMDATA, 0, 0);
        SelectComboItem(list, 0);
    }
    return 1;
}

void CDlgExpert1::CompleteRowList(int listId)
{
    int index = listId - kFirstList;
    if (index < 0 || index >= m_rowCount || m_listComplete[index])
        return;
    CInstall* installer = Installer();
    uint32_t scanCode = static_cast<uint32_t>(LookupValue(listId, kKeyRows));
    KeyEntry* entry = installer && scanCode ? installer->FindKey(static_cast<uint16_t>(scanCode))
                                            : nullptr;
    HWND list = GetDlgItem(m_hWnd, listId);
    if (!entry || !list)
        return;
    FillCombo(list, kChoices, entry->virtualKey);
    RemoveBlankItem(list);
    SelectByData(list, entry->virtualKey);
    m_listComplete[index] = 1;
}

void CDlgExpert1::StoreRowChoice(int listId)
{
    StoreKeyChoice(listId, kKeyRows, &KeyEntry::virtualKey, m_rowValues, m_rowCount);
}

void CDlgExpert1::SaveRows()
{
    SaveKeyRows(kKeyRows, kListOffset, &KeyEntry::virtualKey);
}

int CDlgExpert1::OnCommand()
{
    switch (m_notifyCode)
    {
    case CBN_DROPDOWN:
        CompleteRowList(m_controlId);
        return 0;
    case CBN_SELENDOK:
        StoreRowChoice(m_controlId);
        return 0;
    case BN_CLICKED:
        break;
    default:
        return 0;
    }
    switch (m_controlId)
    {
    case kIdCancel:
        PostToFrame(WMU_CLOSE);
        return 1;
    case kIdNext:
        PostToFrame(WMU_NEXT);
        return 1;
    case kIdBack:
        SaveRows();
        PostToFrame(WMU_SETUP);
        return 1;
    case kIdOtherPage:
        SaveRows();
        PostToFrame(WMU_EXPERT2);
        return 1;
    default:
        ToggleRow(m_controlId);
        return 0;
    }
}
