#ifndef KBD_UI_WNDBASE_H
#define KBD_UI_WNDBASE_H

// The window wrapper every window and page of the wizard derives from. A wrapper is bound to its
// window through the window's user data (GWLP_USERDATA, pointer-sized); the two procedures find
// it there and route each message to a virtual handler. Handlers read the message from the
// members and leave the procedure's answer in m_result.
//
// Every text comes from the string table by id: the dialog templates carry no texts, and the
// tables below tell a page which string goes into which control.

#include <windows.h>
#include <stdint.h>

#include "core/KeyTable.h"
#include "text/GString.h"

class CWizard;
class CInstall;

// Constant tables, each ended by a row whose first member is 0.
struct ControlText
{
    int32_t controlId;
    int32_t stringId;
};

struct ComboItem
{
    int32_t stringId;
    int32_t value;
};

typedef int32_t ControlList;

struct KeyRow
{
    int32_t listId;
    int32_t scanCode;
};

// One remembered choice of an expert page row; these arrays carry no terminating row.
struct RowValue
{
    uint32_t scanCode;
    uint32_t value;
};

class CWndBase
{
public:
    CWndBase();
    virtual ~CWndBase();

    virtual int OnMessage();
    virtual int OnCommand();
    virtual int OnNcDestroy();
    virtual int OnCreate();
    virtual int OnPaint();
    virtual int OnDestroy();
    virtual int OnClose();
    virtual int OnInitDialog();
    virtual int RequestClose();

    // Creation and binding.
    int CreatePage(uint16_t templateId, HWND parent);
    int Attach(HWND window);
    void Detach();
    int DestroyAttached();

    // Texts, page numbers, message boxes and the frame.
    int LoadText(int id);
    int LoadText(int id, GString& out);
    int GetPageNumber();
    void SetPageNumber(int page);
    int MessageBoxText(const wchar_t* text, unsigned int flags);
    int MessageBoxById(int id, unsigned int flags);
    int PostToFrame(unsigned int message);
    CInstall* Installer();
    int FitFrame();

    // Control operations; a control is found by id among the children of m_hWnd.
    int EnableControl(int id, int on);
    int EnableControls(const ControlList* list, int on);
    int ShowControl(int id, int show);
    int ShowControls(const ControlList* list, int show);
    int SetControlTextById(int id, int stringId);
    int SetControlText(int id, const wchar_t* text);
    void SetControlTexts(const ControlText* table);
    int IsChecked(int id);
    int SetCheck(int id, int on);
    static LRESULT SelectComboItem(HWND combo, int index);
    LRESULT ComboSelectedData(int id);
    static int32_t LookupValue(int32_t key, const KeyRow* table);
    static RowValue* FindPair(uint32_t key, RowValue* rows, int rowCount);
    // The expert pages' rows: each page edits one field of the installer's key table.
    void StoreKeyChoice(int listId, const KeyRow* rows, uint16_t KeyEntry::*field,
                        RowValue* values, int valueCount);
    void SaveKeyRows(const KeyRow* rows, int listOffset, uint16_t KeyEntry::*field);
    int FillCombo(HWND combo, const ComboItem* table, int32_t selectValue);
    int FillComboById(int id, const ComboItem* table, int32_t selectValue);

    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    HWND m_hWnd;
    uint32_t m_isDialog;
    uint16_t m_classAtom;
    CWizard* m_owner;
    GString m_text;
    int32_t m_result;
    int16_t m_notifyCode;
    uint16_t m_controlId;
    // Full-width message parameters: lParam carries pointers on 64-bit Windows.
    UINT m_message;
    WPARAM m_wParam;
    LPARAM m_lParam;
    int32_t m_textHeight;

private:
    CWndBase(const CWndBase&);
    CWndBase& operator=(const CWndBase&);

    static CWndBase* FromWindow(HWND window);
    void StoreMessage(UINT message, WPARAM wParam, LPARAM lParam);
};

#endif
