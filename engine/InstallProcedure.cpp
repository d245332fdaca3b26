// The install procedure: folders, documents, links and the setup copy, then the layout
// libraries, the installed-state record and the layout's registration. Nothing is rolled back:
// the first failed step ends the procedure with 0 and leaves what was done, and the setup page
// reports it.
#include "core/Install.h"

#include "payload/AssetStore.h"
#include "ui/Wizard.h"

namespace
{
const uint32_t kThisVersion = 190;
const uint32_t kOlderCopyVersion = 130;

enum
{
    kCsidlDesktop = 0,
    kCsidlPersonal = 5,

    kDescriptionDocSecond = 35,
    kEndingDocument = 42,
    kEndingLink = 43,
    kEndingTextFile = 44,
    kIconFile = 52,
    kTextFileText = 67,
    kTextFileTextEarly = 68,
    kPageLinkFormat = 69,
    kOldNameFirst = 77,
    kOldNameSecond = 78,
    kPageFileName = 80,
    kDescriptionDocMain = 121,
    kDescriptionTextFile = 122
};

// "Differs" is the exact comparison: a path that differs only in case still names another
// string in the record.
int Differs(GString& a, GString& b)
{
    const wchar_t* left = a.MakeWide();
    const wchar_t* right = b.MakeWide();
    if (!left || !right)
        return 1;
    return a.CompareWide(right, b.length) != 0;
}

int IsEmpty(const GString& s)
{
    return s.length <= 0;
}

// Deletion of a stored file before it is replaced; a file in use stays.
void DeleteStored(GString& path)
{
    if (!IsEmpty(path) && path.MakeWide())
        DeleteFileW(path.WideText());
}

// The same file whatever the case of the letters: the running program may be the setup copy.
int IsSameFile(GString& a, GString& b)
{
    GString left, right;
    if (!left.Assign(a) || !right.Assign(b) || !left.MakeWide() || !right.MakeWide() ||
        !left.ToUpper() || !right.ToUpper())
        return 0;
    return left.CompareWide(right.WideText(), right.length) == 0;
}

int Shortcut(GString& target, GString& link, GString& description, const wchar_t* icon)
{
    if (!target.MakeWide() || !link.MakeWide() || !description.MakeWide())
        return 0;
    return CInstall::CreateShortcut(target.WideText(), link.WideText(), description.WideText(),
                                    icon, 0);
}

int WriteStoreBlob(CInstall& s, GString& path, int blob)
{
    if (!path.MakeWide())
        return 0;
    return s.WriteBlobFile(path.WideText(), StoreBlob(blob), StoreBlobLength(blob));
}

// X \ name + ending, from the texts of two ids; 0 when a part is missing, so that nothing is
// deleted outside the folder meant.
int OldCopyPath(GString& out, const GString& folder, const GString& name, const GString& ending)
{
    if (IsEmpty(folder) || IsEmpty(name))
        return 0;
    return out.Assign(folder) && out.AppendPathWide(name.WideText(), name.length) &&
           out.Append(ending);
}
}

int CInstall::Install()
{
    if (m_app)
        m_app->DisablePageControls();

    if (m_modifyOnly)
        return WriteInstalledState() && InstallLayoutLibraries();

    // Another layout registered under our key name would be taken over by the registration at
    // the end; refuse before anything is touched.
    if (IsLayoutKeyForeign())
        return 0;

    if (m_installedVersion == kOlderCopyVersion)
        RemoveOldVersionFiles(0);
    if (!InstallFiles())
        return 0;
    if (!InstallLayoutLibraries())
        return 0;
    // Re-installing over this version is the same installation, not another one.
    if (m_installedVersion <= kOlderCopyVersion)
        ++m_installCount;
    if (!WriteInstalledState())
        return 0;
    if (!RegisterLayout())
        return 0;
    WriteScancodeMap();
    AddInputLanguage(m_layoutLanguageId, m_setAsDefault);
    if (m_setHotkeyValues && !WriteHotkeyValues())
        return 0;
    m_installed = 1;
    return 1;
}

int CInstall::InstallFiles()
{
    GString icon, description;
    LoadText(kIconFile, icon);
    const wchar_t* iconFile = icon.MakeWide();
    if (!iconFile)
        return 0;

    if (!EnsureFolder(m_programParent) || !EnsureFolder(m_programFolder) ||
        !EnsureFolder(m_menuParent) || !EnsureFolder(m_menuFolder))
        return 0;

    DeleteStored(m_installedSetupCopy);
    DeleteStored(m_installedSetupMenuLink);

    // The main document.
    int desktopLink = m_desktopShortcuts;
    if (!IsEmpty(m_installedDocMain))
    {
        if (m_docMainUseCount != 0)
            --m_docMainUseCount;
        if (Differs(m_installedDocMain, m_docMain))
            DeleteStored(m_installedDocMain);
    }
    if (!IsEmpty(m_installedDocMainMenuLink) && Differs(m_installedDocMainMenuLink, m_docMainMenuLink))
        DeleteStored(m_installedDocMainMenuLink);
    if (!IsEmpty(m_installedDocMainDesktopLink) &&
        Differs(m_installedDocMainDesktopLink, m_docMainDesktopLink))
    {
        DeleteStored(m_installedDocMainDesktopLink);
        // A desktop link the user had is re-created at its new place.
        desktopLink = 1;
    }
    if (!WriteStoreBlob(*this, m_docMain, kBlobDocMain))
        return 0;
    LoadText(kDescriptionDocMain, description);
    if (!Shortcut(m_docMain, m_docMainMenuLink, description, nullptr))
        return 0;
    if (desktopLink)
    {
        if (!Shortcut(m_docMain, m_docMainDesktopLink, description, nullptr))
            return 0;
        m_docMainDesktopLinkMade = 1;
    }
    ++m_docMainUseCount;

    // The second document, unless this version's copy is in place.
    if (m_docSecondVersion < kThisVersion)
    {
        DeleteStored(m_installedDocSecond);
        DeleteStored(m_installedDocSecondMenuLink);
        DeleteStored(m_installedDocSecondDesktopLink);
        if (!WriteStoreBlob(*this, m_docSecond, kBlobDocSecond))
            return 0;
        LoadText(kDescriptionDocSecond, description);
        if (!Shortcut(m_docSecond, m_docSecondMenuLink, description, nullptr))
            return 0;
        if (m_desktopShortcuts)
        {
            if (!Shortcut(m_docSecond, m_docSecondDesktopLink, description, nullptr))
                return 0;
            m_docSecondDesktopLinkMade = 1;
        }
    }

    // The text file, written once by the first installation.
    LoadText(kDescriptionTextFile, description);
    if (IsEmpty(m_installedTextFileMenuLink))
    {
        if (!WriteStringFile(m_textFile))
            return 0;
        if (!Shortcut(m_textFile, m_textFileMenuLink, description, iconFile))
            return 0;
    }
    if (m_desktopShortcuts && IsEmpty(m_installedTextFileDesktopLink))
    {
        GString* target = !IsEmpty(m_installedTextFile) ? &m_installedTextFile
                          : !IsEmpty(m_textFile)        ? &m_textFile
                                                        : nullptr;
        if (target)
        {
            if (!Shortcut(*target, m_textFileDesktopLink, description, iconFile))
                return 0;
            m_textFileDesktopLinkMade = 1;
        }
    }

    // The page file and the two link files that point at it; neither is essential.
    if (IsEmpty(m_installedPageMenuLink))
    {
        GString format, pageName, text;
        LoadText(kPageLinkFormat, format);
        LoadText(kPageFileName, pageName);
        Format(&text, format.MakeWide(), m_programFolder.MakeWide(), pageName.MakeWide());
        text.MakeNarrow(0);
        WriteStoreBlob(*this, m_pageFile, kBlobPageFile);
        GString* links[2] = {&m_pageMenuLink, &m_pageDesktopLink};
        for (int i = 0; i < 2; ++i)
        {
            HANDLE file = CreateFileForWrite(*links[i]);
            if (file)
            {
                WriteText(file, text);
                CloseHandle(file);
            }
        }
    }

    // The setup copy. Run from the copy itself there is nothing to copy, and copying a file
    // onto itself fails.
    if (IsEmpty(m_setupPath) || IsEmpty(m_setupCopy) || !m_setupPath.MakeWide() ||
        !m_setupCopy.MakeWide())
        return 0;
    if (!IsSameFile(m_setupPath, m_setupCopy) &&
        !CopyFileW(m_setupPath.WideText(), m_setupCopy.WideText(), FALSE))
        return 0;
    if (!Shortcut(m_setupCopy, m_setupMenuLink, m_setupLinkName, m_setupCopy.WideText()))
        return 0;
    return 1;
}

int CInstall::WriteStringFile(GString& path)
{
    HANDLE file = CreateFileForWrite(path);
    if (!file)
        return 0;
    GString text;
    LoadText(m_osVersionCode < 51 ? kTextFileTextEarly : kTextFileText, text);
    const int written = WriteText(file, text);
    CloseHandle(file);
    return written;
}

int CInstall::RemoveOldVersionFiles(int removeLibraries)
{
    GString personal, desktop, first, second, ending42, ending43, ending44;
    SpecialFolder(kCsidlPersonal, personal);
    SpecialFolder(kCsidlDesktop, desktop);
    LoadText(kEndingDocument, ending42);
    LoadText(kEndingLink, ending43);
    LoadText(kEndingTextFile, ending44);
    LoadText(kOldNameFirst, first);
    LoadText(kOldNameSecond, second);

    struct OldFile
    {
        const GString* folder;
        const GString* name;
        const GString* ending;
    } files[4] = {
        {&personal, &first, &ending42},
        {&desktop, &first, &ending43},
        {&personal, &second, &ending44},
        {&desktop, &second, &ending43},
    };
    for (int i = 0; i < 4; ++i)
    {
        GString path;
        if (OldCopyPath(path, *files[i].folder, *files[i].name, *files[i].ending))
            DeleteOrSchedule(path);
    }
    if (!removeLibraries)
        return 1;
    return ScheduleLayoutLibraryRemoval();
}

int CInstall::ScheduleLayoutLibraryRemoval()
{
    GString target1, target2;
    if (!GetLayoutLibraryPaths(target1, target2, nullptr, nullptr))
        return 0;
    // The libraries are in use while the layout is loaded; they go at the next restart.
    RedirectionBracket bracket;
    EnterRedirectionBracket(bracket);
    if (!IsEmpty(target1) && target1.MakeWide())
        MoveFileExW(target1.WideText(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    if (m_is64BitOs && !IsEmpty(target2) && target2.MakeWide())
        MoveFileExW(target2.WideText(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    LeaveRedirectionBracket(bracket);
    return 1;
}
