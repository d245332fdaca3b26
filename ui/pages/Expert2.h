#ifndef KBD_UI_PAGES_EXPERT2_H
#define KBD_UI_PAGES_EXPERT2_H

// Expert page 2: for each of twenty keys, another key whose scan code the system substitutes
// for it (the scan-code map). Same rows as expert page 1, but every list holds the whole choice
// list from the start.

#include "ui/WndBase.h"

class CDlgExpert2 : public CWndBase
{
public:
    CDlgExpert2();
    virtual ~CDlgExpert2();

    int OnCommand() override;
    int OnInitDialog() override;

    int ToggleRow(int checkBoxId);
    void StoreRowChoice(int listId);
    void SaveRows();

    RowValue* m_rowValues;
    int32_t m_rowCount;
};

#endif
