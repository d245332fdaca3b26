// Expert page 2: scan-code remapping of twenty keys.
#include "ui/pages/Expert2.h"

#include <stdlib.h>

#include "core/Install.h"
#include "ui/Wizard.h"

namespace
{
enum
{
    kIdCancel = 300,
    kIdBack = 301,
    kIdOtherPage = 303,
    kIdNext = 1,
    kFirstCheckBox = 1501,
    kListOffset = 100
};

const KeyRow kKeyRows[] = {
    {1601, 0x003A}, {1602, 0x001D}, {1603, 0xE068}, {1604, 0xE067}, {1605, 0xE065},
    {1606, 0xE066}, {1607, 0xE032}, {1608, 0xE06C}, {1609, 0xE06B}, {1610, 0xE021},
    {1611, 0xE030}, {1612, 0xE02E}, {1613, 0xE020}, {1614, 0xE022}, {1615, 0xE024},
    {1616, 0xE010}, {1617, 0xE019}, {1618, 0xE06D}, {1619, 0xE05F}, {1620, 0xE05E}, {0, 0}};
const int kRows = sizeof(kKeyRows) / sizeof(kKeyRows[0]) - 1;

const ComboItem kChoices[] = {
    {154, 0}, {326, 0x00FF}, {287, 0xE06A}, {288, 0xE069}, {290, 0xE068}, {289, 0xE067},
    {291, 0xE065}, {292, 0xE066}, {293, 0xE032}, {301, 0xE06C}, {303, 0xE06B}, {304, 0xE021},
    {296, 0xE030}, {295, 0xE02E}, {294, 0xE020}, {300, 0xE022}, {299, 0xE024}, {298, 0xE010},
    {297, 0xE019}, {302, 0xE06D}, {232, 0xE05F}, {231, 0xE05E}, {174, 0x003A}, {282, 0x001D},
    {0, 0}};

const ControlText kTexts[] = {{300, 98}, {301, 100}, {303, 152}, {304, 153}, {0, 0}};
const ControlList kHidden[] = {
    1501, 1502, 1503, 1504, 1505, 1506, 1507, 1508, 1509, 1510, 1511, 1512, 1513, 1514,
    1515, 1516, 1517, 1518, 1519, 1520, 1601, 1602, 1603, 1604, 1605, 1606, 1607, 1608,
    1609, 1610, 1611, 1612, 1613, 1614, 1615, 1616, 1617, 1618, 1619, 1620, 0};

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

// Removes item 0 only when it is the no-change choice or the blank of an unchecked row.
void RemoveBlankItem(HWND list)
{
    if (SendMessageW(list, CB_GETCOUNT, 0, 0) > 0 && SendMessageW(list, CB_GETITEMDATA, 0, 0) == 0)
        SendMessageW(list, CB_DELETESTRING, 0, 0);
}
}

CDlgExpert2::CDlgExpert2() : m_rowValues(nullptr), m_rowCount(0)
{
}

CDlgExpert2::~CDlgExpert2()
{
    free(m_rowValues);
}

int CDlgExpert2::OnInitDialog()
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
    m_rowCount = m_rowValues ? kRows : 0;
    for (int i = 0; i < m_rowCount; ++i)
    {
        uint16_t scanCode = static_cast<uint16_t>(kKeyRows[i].scanCode);
        int listId = kKeyRows[i].listId;
        m_rowValues[i].scanCode = scanCode;
        m_rowValues[i].value = 0;
        KeyEntry* entry = installer->FindKey(scanCode);
        if (entry)
        {
            m_rowValues[i].value = entry->remapTo;
            SetControlTextById(listId - kListOffset, entry->nameId);
        }
        HWND list = GetDlgItem(m_hWnd, listId);
        if (!list)
            continue;
        FillCombo(list, kChoices, static_cast<int32_t>(m_rowValues[i].value));
        RemoveBlankItem(list);
        if (m_rowValues[i].value)
        {
            SelectByData(list, m_rowValues[i].value);
            SetCheck(listId - kListOffset, 1);
        }
    }
    SetForegroundWindow(m_hWnd);
    return 1;
}

int CDlgExpert2::ToggleRow(int checkBoxId)
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
    int on = IsChecked(checkBoxId);
    EnableControl(listId, on);
    if (on)
    {
        if (SendMessageW(list, CB_GETCOUNT, 0, 0) <= 0)
            FillCombo(list, kChoices, 0);
        RemoveBlankItem(list);
        SelectByData(list, row->value ? row->value : scanCode);
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

void CDlgExpert2::StoreRowChoice(int listId)
{
    StoreKeyChoice(listId, kKeyRows, &KeyEntry::remapTo, m_rowValues, m_rowCount);
}

void CDlgExpert2::SaveRows()
{
    SaveKeyRows(kKeyRows, kListOffset, &KeyEntry::remapTo);
}

int CDlgExpert2::OnCommand()
{
    if (m_notifyCode == CBN_SELCHANGE)
    {
        StoreRowChoice(m_controlId);
        return 0;
    }
    if (m_notifyCode != BN_CLICKED)
        return 0;
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
        PostToFrame(WMU_EXPERT1);
        return 1;
    default:
        ToggleRow(m_controlId);
        return 0;
    }
}
