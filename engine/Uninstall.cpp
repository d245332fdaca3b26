// The uninstall procedure, worked entirely from what was read at start-up. Two counters let
// installations share files: the installation count guards the text file, the page files and
// the second document, the use count guards the main document; a group whose counter stays above
// zero keeps its files and its part of the record. Files in use go at the next restart.
#include "core/Install.h"

namespace
{
const uint32_t kKeyWrite = 0x20006;
const uint32_t kOlderCopyVersion = 130;

enum
{
    kKeyRecord1 = 7,
    kKeyRecord2 = 8,
    kKeyRecord3 = 10,
    kKeyDocMainSub = 23,
    kKeyDocMainGroup = 24,
    kKeyInstallGroup = 36,
    kKeyInstallSub = 89,

    kValueInstallCount = 21,
    kValueDocMainUseCount = 29
};

void CloseKey(HKEY& key)
{
    if (key)
        RegCloseKey(key);
    key = nullptr;
}

void DeleteValues(CInstall& s, HKEY key, const int* ids, int count)
{
    for (int i = 0; i < count; ++i)
        s.DeleteValueById(key, ids[i]);
}
}

int CInstall::Uninstall()
{
    // An older copy kept no record and no counters: its files, libraries and registration go.
    if (m_installedVersion == kOlderCopyVersion)
    {
        RemoveOldVersionFiles(1);
        UnregisterLayout();
        RemoveInputLanguage();
        m_uninstalled = 1;
        return 1;
    }

    if (m_installCount != 0)
        --m_installCount;
    if (m_docMainUseCount != 0)
        --m_docMainUseCount;

    if (!ScheduleLayoutLibraryRemoval())
        return 0;

    if (m_docMainUseCount == 0)
    {
        DeleteOrSchedule(m_installedDocMain);
        DeleteOrSchedule(m_installedDocMainMenuLink);
        DeleteOrSchedule(m_installedDocMainDesktopLink);
    }
    if (m_installCount == 0)
    {
        GString* shared[] = {
            &m_installedTextFile,     &m_installedTextFileMenuLink,  &m_installedTextFileDesktopLink,
            &m_installedPageMenuLink, &m_installedPageDesktopLink,   &m_installedDocSecond,
            &m_installedDocSecondMenuLink, &m_installedDocSecondDesktopLink, &m_installedPageFile,
        };
        for (GString* path : shared)
            DeleteOrSchedule(*path);
        RemoveInputLanguage();
    }
    // The running program may be this copy: then it goes at the restart.
    DeleteOrSchedule(m_installedSetupCopy);
    DeleteOrSchedule(m_installedSetupMenuLink);

    // Only empty folders go; another program's files keep theirs.
    RemoveFolder(m_programFolder);
    RemoveFolder(m_programParent);
    RemoveFolder(m_menuFolder);
    RemoveFolder(m_menuParent);

    UnregisterLayout();
    RemoveInstalledState();
    m_uninstalled = 1;
    return 1;
}

int CInstall::RemoveInstalledState()
{
    HKEY chain[5] = {nullptr, nullptr, nullptr, nullptr, nullptr};
    const int ids[5] = {kKeyRecord1, kKeyRecord2, kKeyRecord3, kKeyInstallGroup, kKeyInstallSub};
    HKEY parent = HKEY_LOCAL_MACHINE;
    for (int i = 0; i < 5; ++i)
    {
        chain[i] = OpenKeyById(parent, ids[i], kKeyWrite);
        if (!chain[i])
        {
            for (int j = i - 1; j >= 0; --j)
                CloseKey(chain[j]);
            return 0;
        }
        parent = chain[i];
    }
    HKEY& root = chain[0];
    HKEY& middle = chain[1];
    HKEY& record = chain[2];
    HKEY& installGroup = chain[3];
    HKEY& installSub = chain[4];

    // The installation proper; its option values go with its key.
    const int installValues[] = {37, 38, 39};
    DeleteValues(*this, installSub, installValues, 3);
    CloseKey(installSub);
    DeleteKeyById(installGroup, kKeyInstallSub);
    CloseKey(installGroup);
    DeleteKeyById(record, kKeyInstallGroup);

    // The main-document group stays while another installation uses the document.
    HKEY docGroup = OpenKeyById(record, kKeyDocMainGroup, kKeyWrite);
    if (docGroup)
    {
        HKEY docSub = OpenKeyById(docGroup, kKeyDocMainSub, kKeyWrite);
        if (m_docMainUseCount != 0)
        {
            if (docSub)
                SetDwordValueById(docSub, kValueDocMainUseCount,
                                  static_cast<uint32_t>(m_docMainUseCount));
            CloseKey(docSub);
            CloseKey(docGroup);
        }
        else
        {
            const int docValues[] = {25, 26, 27, 28, 29};
            if (docSub)
                DeleteValues(*this, docSub, docValues, 5);
            CloseKey(docSub);
            DeleteKeyById(docGroup, kKeyDocMainSub);
            CloseKey(docGroup);
            DeleteKeyById(record, kKeyDocMainGroup);
        }
    }

    if (m_installCount != 0)
    {
        SetDwordValueById(record, kValueInstallCount, static_cast<uint32_t>(m_installCount));
    }
    else
    {
        const int recordValues[] = {11, 21, 73, 72, 74, 75, 76, 31, 32, 33, 79, 34};
        DeleteValues(*this, record, recordValues, 12);
        CloseKey(record);
        // A key that still has sub-keys is refused by the platform and stays.
        DeleteKeyById(middle, kKeyRecord3);
        CloseKey(middle);
        DeleteKeyById(root, kKeyRecord2);
    }
    for (int i = 4; i >= 0; --i)
        CloseKey(chain[i]);
    return 1;
}
