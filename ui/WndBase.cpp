// The window wrapper: binding, the two procedures that route messages to the handlers, and the
// control operations the pages use.
#include "ui/WndBase.h"

#include "core/Install.h"
#include "ui/Wizard.h"
#include "ui/WndMain.h"

namespace
{
const int kStringWindowClass = 94;
const UINT kQuietPositionFlags =
    SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE;
const WPARAM kComboTextHint = 100;
}

CWndBase::CWndBase()
    : m_hWnd(nullptr), m_isDialog(0), m_classAtom(0), m_owner(nullptr), m_result(0),
      m_notifyCode(0), m_controlId(0), m_message(0), m_wParam(0), m_lParam(0), m_textHeight(0)
{
}

CWndBase::~CWndBase()
{
    DestroyAttached();
    if (m_classAtom)
    {
        GString name;
        if (LoadText(kStringWindowClass, name))
            UnregisterClassW(name.WideText(0), m_owner ? m_owner->m_hInstance : nullptr);
        m_classAtom = 0;
    }
}

int CWndBase::OnMessage()
{
    switch (m_message)
    {
    case WM_CREATE:
        return OnCreate();
    case WM_DESTROY:
        return OnDestroy();
    case WM_PAINT:
        return OnPaint();
    case WM_CLOSE:
        return OnClose();
    case WM_NCDESTROY:
        return OnNcDestroy();
    case WM_INITDIALOG:
        return OnInitDialog();
    default:
        return 0;
    }
}

int CWndBase::OnCommand()
{
    return 0;
}

int CWndBase::OnNcDestroy()
{
    Detach();
    if (m_owner)
        m_owner->ReleaseWrapper(this);
    return 1;
}

int CWndBase::OnCreate()
{
    return 1;
}

int CWndBase::OnPaint()
{
    return 0;
}

int CWndBase::OnDestroy()
{
    return 0;
}

int CWndBase::OnClose()
{
    DestroyWindow(m_hWnd);
    return 1;
}

int CWndBase::OnInitDialog()
{
    return 0;
}

int CWndBase::RequestClose()
{
    PostMessageW(m_hWnd, WM_CLOSE, 0, 0);
    return 0;
}

int CWndBase::CreatePage(uint16_t templateId, HWND parent)
{
    if (!m_owner || m_hWnd)
        return 0;
    m_isDialog = 1;
    HWND created = CreateDialogParamW(m_owner->m_hInstance, MAKEINTRESOURCEW(templateId), parent,
                                      DialogProc, reinterpret_cast<LPARAM>(this));
    // A page whose initialisation failed may already be gone with its wrapper: only the handle
    // is looked at before the wrapper is known to be bound to it.
    if (!created || m_hWnd != created)
        return 0;
    ShowWindow(m_hWnd, SW_SHOW);
    return 1;
}

int CWndBase::Attach(HWND window)
{
    if (m_hWnd || !window)
        return 0;
    LONG_PTR data = GetWindowLongPtrW(window, GWLP_USERDATA);
    m_hWnd = window;
    if (data)
        return 1;
    SetLastError(0);
    if (!SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this)) &&
        GetLastError() != 0)
    {
        m_hWnd = nullptr;
        return 0;
    }
    SetWindowPos(window, nullptr, 0, 0, 0, 0, kQuietPositionFlags);
    return 1;
}

void CWndBase::Detach()
{
    if (!m_hWnd)
        return;
    SetWindowLongPtrW(m_hWnd, GWLP_USERDATA, 0);
    SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, kQuietPositionFlags);
    m_hWnd = nullptr;
}

int CWndBase::DestroyAttached()
{
    if (!m_hWnd)
        return 1;
    return DestroyWindow(m_hWnd) ? 1 : 0;
}

int CWndBase::LoadText(int id)
{
    return LoadText(id, m_text);
}

int CWndBase::LoadText(int id, GString& out)
{
    if (!m_owner)
    {
        out.ClearAs(1);
        return 0;
    }
    return m_owner->LoadText(id, out);
}

int CWndBase::GetPageNumber()
{
    CInstall* installer = Installer();
    return installer ? installer->m_currentPage : -1;
}

void CWndBase::SetPageNumber(int page)
{
    CInstall* installer = Installer();
    if (installer)
        installer->m_currentPage = page;
}

int CWndBase::MessageBoxText(const wchar_t* text, unsigned int flags)
{
    return m_owner ? m_owner->MessageBoxText(text, flags) : 0;
}

int CWndBase::MessageBoxById(int id, unsigned int flags)
{
    return m_owner ? m_owner->MessageBoxById(id, flags) : 0;
}

int CWndBase::PostToFrame(unsigned int message)
{
    if (!m_owner)
        return 0;
    return PostMessageW(m_owner->FrameWindow(), message, 0, 0) ? 1 : 0;
}

CInstall* CWndBase::Installer()
{
    return m_owner ? m_owner->m_installer : nullptr;
}

int CWndBase::FitFrame()
{
    if (!m_owner || !m_hWnd)
        return 0;
    HWND frame = m_owner->FrameWindow();
    if (!frame)
        return 0;
    if (m_owner->m_bannerHeight == 0)
    {
        HDC dc = GetDC(frame);
        if (dc)
        {
            HGDIOBJ previous = m_owner->m_bannerFont ? SelectObject(dc, m_owner->m_bannerFont) : nullptr;
            SIZE size = {0, 0};
            const wchar_t probe = 0x00D3;
            GetTextExtentPoint32W(dc, &probe, 1, &size);
            if (previous)
                SelectObject(dc, previous);
            ReleaseDC(frame, dc);
            m_owner->m_bannerHeight = size.cy + size.cy / 2;
        }
    }
    RECT window, client, page, desktop;
    if (!GetWindowRect(frame, &window) || !GetClientRect(frame, &client) ||
        !GetClientRect(m_hWnd, &page) || !GetWindowRect(GetDesktopWindow(), &desktop))
        return 0;
    if (!m_owner->m_frameFitted)
    {
        int width = (window.right - window.left) - (client.right - client.left) +
                    (page.right - page.left);
        int height = (window.bottom - window.top) - (client.bottom - client.top) +
                     (page.bottom - page.top) + m_owner->m_bannerHeight;
        int desktopWidth = desktop.right - desktop.left;
        int desktopHeight = desktop.bottom - desktop.top;
        SetWindowPos(frame, nullptr, (desktopWidth - width) / 2, (desktopHeight - height) / 2,
                     width, height, SWP_NOZORDER);
    }
    m_owner->m_frameFitted = 1;
    SetWindowPos(m_hWnd, nullptr, 0, m_owner->m_bannerHeight, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    return 1;
}

int CWndBase::EnableControl(int id, int on)
{
    HWND control = m_hWnd ? GetDlgItem(m_hWnd, id) : nullptr;
    if (!control)
        return 0;
    EnableWindow(control, on ? TRUE : FALSE);
    return 1;
}

int CWndBase::EnableControls(const ControlList* list, int on)
{
    if (!list)
        return 0;
    for (; *list; ++list)
        EnableControl(*list, on);
    return 1;
}

int CWndBase::ShowControl(int id, int show)
{
    HWND control = m_hWnd ? GetDlgItem(m_hWnd, id) : nullptr;
    if (!control)
        return 0;
    ShowWindow(control, show ? SW_SHOW : SW_HIDE);
    return 1;
}

int CWndBase::ShowControls(const ControlList* list, int show)
{
    if (!list)
        return 0;
    for (; *list; ++list)
        ShowControl(*list, show);
    return 1;
}

int CWndBase::SetControlTextById(int id, int stringId)
{
    if (!LoadText(stringId))
        return 0;
    SetDlgItemTextW(m_hWnd, id, m_text.WideText(0));
    return 1;
}

int CWndBase::SetControlText(int id, const wchar_t* text)
{
    if (!text)
        return 0;
    SetDlgItemTextW(m_hWnd, id, text);
    return 1;
}

void CWndBase::SetControlTexts(const ControlText* table)
{
    if (!table)
        return;
    for (; table->controlId; ++table)
    {
        LoadText(table->stringId);
        const wchar_t* text = m_text.wide ? m_text.WideText(0) : nullptr;
        SetDlgItemTextW(m_hWnd, table->controlId, text ? text : L"");
    }
}

int CWndBase::IsChecked(int id)
{
    HWND control = m_hWnd ? GetDlgItem(m_hWnd, id) : nullptr;
    if (!control)
        return 0;
    return SendMessageW(control, BM_GETCHECK, 0, 0) == BST_CHECKED ? 1 : 0;
}

int CWndBase::SetCheck(int id, int on)
{
    HWND control = m_hWnd ? GetDlgItem(m_hWnd, id) : nullptr;
    if (!control)
        return 0;
    SendMessageW(control, BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
    return 1;
}

LRESULT CWndBase::SelectComboItem(HWND combo, int index)
{
    return SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

LRESULT CWndBase::ComboSelectedData(int id)
{
    HWND control = m_hWnd ? GetDlgItem(m_hWnd, id) : nullptr;
    if (!control)
        return 0;
    LRESULT index = SendMessageW(control, CB_GETCURSEL, 0, 0);
    if (index < 0)
        return 0;
    return SendMessageW(control, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
}

int32_t CWndBase::LookupValue(int32_t key, const KeyRow* table)
{
    if (key == 0 || !table)
        return 0;
    for (; table->listId; ++table)
        if (table->listId == key)
            return table->scanCode;
    return 0;
}

RowValue* CWndBase::FindPair(uint32_t key, RowValue* rows, int rowCount)
{
    if (!rows)
        return nullptr;
    for (int i = 0; i < rowCount; ++i)
        if (rows[i].scanCode == key)
            return &rows[i];
    return nullptr;
}

void CWndBase::StoreKeyChoice(int listId, const KeyRow* rows, uint16_t KeyEntry::*field,
                              RowValue* values, int valueCount)
{
    uint32_t scanCode = static_cast<uint32_t>(LookupValue(listId, rows));
    if (!scanCode)
        return;
    uint32_t data = static_cast<uint32_t>(ComboSelectedData(listId));
    CInstall* installer = Installer();
    KeyEntry* entry = installer ? installer->FindKey(static_cast<uint16_t>(scanCode)) : nullptr;
    if (entry)
        entry->*field = static_cast<uint16_t>(data);
    RowValue* row = FindPair(scanCode, values, valueCount);
    if (row)
        row->value = data;
}

void CWndBase::SaveKeyRows(const KeyRow* rows, int listOffset, uint16_t KeyEntry::*field)
{
    CInstall* installer = Installer();
    if (!installer || !rows)
        return;
    for (; rows->listId; ++rows)
    {
        KeyEntry* entry = installer->FindKey(static_cast<uint16_t>(rows->scanCode));
        if (!entry)
            continue;
        entry->*field = IsChecked(rows->listId - listOffset)
                            ? static_cast<uint16_t>(ComboSelectedData(rows->listId))
                            : 0;
    }
    installer->NormalizeKeys();
}

int CWndBase::FillCombo(HWND combo, const ComboItem* table, int32_t selectValue)
{
    if (!combo || !table)
        return 0;
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    int rows = 0;
    while (table[rows].stringId)
        ++rows;
    SendMessageW(combo, CB_INITSTORAGE, static_cast<WPARAM>(rows),
                 static_cast<LPARAM>(rows * kComboTextHint));
    for (; table->stringId; ++table)
    {
        LoadText(table->stringId);
        const wchar_t* text = m_text.wide ? m_text.WideText(0) : nullptr;
        LRESULT index = SendMessageW(combo, CB_ADDSTRING, 0,
                                     reinterpret_cast<LPARAM>(text ? text : L""));
        if (index == CB_ERR || index == CB_ERRSPACE)
            return 0;
        SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index),
                     static_cast<LPARAM>(table->value));
        if (table->value == selectValue)
            SelectComboItem(combo, static_cast<int>(index));
    }
    return 1;
}

int CWndBase::FillComboById(int id, const ComboItem* table, int32_t selectValue)
{
    HWND control = m_hWnd ? GetDlgItem(m_hWnd, id) : nullptr;
    if (!control)
        return 0;
    return FillCombo(control, table, selectValue);
}

CWndBase* CWndBase::FromWindow(HWND window)
{
    return reinterpret_cast<CWndBase*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

void CWndBase::StoreMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    m_message = message;
    m_wParam = wParam;
    m_lParam = lParam;
    m_result = 0;
    m_notifyCode = 0;
    m_controlId = 0;
    if (message == WM_COMMAND)
    {
        m_notifyCode = static_cast<int16_t>(HIWORD(wParam));
        m_controlId = LOWORD(wParam);
    }
}

LRESULT CALLBACK CWndBase::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWndBase* wrapper = FromWindow(window);
    if (!wrapper)
    {
        if (message != WM_NCCREATE && message != WM_CREATE)
            return DefWindowProcW(window, message, wParam, lParam);
        const CREATESTRUCTW* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        wrapper = create ? static_cast<CWndBase*>(create->lpCreateParams) : nullptr;
        if (!wrapper || wrapper->m_isDialog || !wrapper->Attach(window))
            return DefWindowProcW(window, message, wParam, lParam);
    }
    wrapper->StoreMessage(message, wParam, lParam);
    int handled = wrapper->OnMessage();
    // The wrapper may have been deleted by its release; it is not touched again.
    if (message == WM_NCDESTROY)
        return 0;
    if (handled)
        return wrapper->m_result;
    return DefWindowProcW(window, message, wParam, lParam);
}

INT_PTR CALLBACK CWndBase::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    CWndBase* wrapper = FromWindow(window);
    if (!wrapper)
    {
        if (message != WM_INITDIALOG)
            return FALSE;
        wrapper = reinterpret_cast<CWndBase*>(lParam);
        if (!wrapper || !wrapper->m_isDialog || !wrapper->Attach(window))
            return FALSE;
    }
    wrapper->StoreMessage(message, wParam, lParam);
    if (message == WM_COMMAND)
    {
        if (wrapper->OnCommand())
            SetWindowLongPtrW(window, DWLP_MSGRESULT, wrapper->m_result);
        return FALSE;
    }
    if (message == WM_NOTIFY)
        return FALSE;
    if (message == WM_INITDIALOG)
        wrapper->m_result = 1;
    int handled = wrapper->OnMessage();
    if (message == WM_NCDESTROY)
        return FALSE;
    if (!handled)
        return FALSE;
    return wrapper->m_result;
}
