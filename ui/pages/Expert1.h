#ifndef KBD_UI_PAGES_EXPERT1_H
#define KBD_UI_PAGES_EXPERT1_H

// Expert page 1: the virtual key the installed layout gives each of fourteen modifier and
// special keys. One row per key: a check box named after the key and a list of replacements.
// The list of an unchecked row is filled with its single current choice only and completed on
// its first opening.

#include "ui/pages/InstallBase.h"

class CDlgExpert1 : public CDlgInstallBase
{
public:
    CDlgExpert1();
    virtual ~CDlgExpert1();

    int OnCommand() override;
    int OnInitDialog() override;

    int ToggleRow(int checkBoxId);
    void StoreRowChoice(int listId);
    void CompleteRowList(int listId);
    void SaveRows();

    RowValue* m_rowValues;
    int32_t m_rowCount;
    int32_t* m_listComplete;
};

#endif
