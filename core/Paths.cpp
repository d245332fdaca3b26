// The paths an installation of this run would create, and the option members the setup page
// edits through their getters and setters.
#include "core/Install.h"

#include <shellapi.h>
#include <shlobj.h>

namespace
{
const int kStringProductFolder = 9;
const int kStringVersionFolder = 10;
const int kStringDocMainName = 22;
const int kStringDocMainQualifier = 23;
const int kStringDocSecondName = 30;
const int kStringDocEnding = 42;
const int kStringLinkEnding = 43;
const int kStringTextEnding = 44;
const int kStringPageLinkEnding = 46;
const int kStringSetupLinkFormat = 48;
const int kStringPageLinkName = 70;
const int kStringTextFileName = 71;
const int kStringPageFileName = 80;
const int kStringSetupLinkArgument = 81;
const int kStringLayoutName = 88;
const int kStringFirstVariantName = 113;
const int kLayoutVariantCount = 3;

// SHGetSpecialFolderPathW writes up to MAX_PATH characters and its terminator.
const int kSpecialFolderChars = 261;

// Path join with one backslash between the parts, whatever mode the part is in.
int AppendPath(GString& path, const GString& part)
{
    if (part.wide)
        return path.AppendPathWide(part.WideText(0), part.length);
    return path.AppendPathNarrow(part.NarrowText(0), part.length);
}

// out := root \ name + ending (ending may be null).
int JoinPath(GString& out, const GString& root, const GString& name, const GString* ending)
{
    int done = out.ClearAs(1);
    done &= out.Append(root);
    done &= AppendPath(out, name);
    if (ending)
        done &= out.Append(*ending);
    return done;
}

// Every text this file needs, wide, empty when the id has none.
struct PathTexts
{
    GString textFileName, pageLinkName, pageFileName, docMainName, docMainQualifier,
        docSecondName, docEnding, linkEnding, textEnding, pageLinkEnding, setupLinkFormat,
        setupLinkArgument, productFolder, versionFolder;
};
}

int CInstall::SpecialFolder(int csidl, GString& out)
{
    out.ClearAs(1);
    wchar_t* buffer = out.BeginWideWrite(kSpecialFolderChars);
    if (!buffer)
        return 0;
    buffer[0] = 0;
    if (!SHGetSpecialFolderPathW(GetOwnerWindow(), buffer, csidl, FALSE))
    {
        out.ClearAs(1);
        return 0;
    }
    buffer[kSpecialFolderChars - 1] = 0;
    return out.SetLength(-1);
}

int CInstall::BuildPaths()
{
    GString programFiles, commonPrograms, commonDesktop;
    SpecialFolder(CSIDL_PROGRAM_FILES, programFiles);
    SpecialFolder(CSIDL_COMMON_PROGRAMS, commonPrograms);
    SpecialFolder(CSIDL_COMMON_DESKTOPDIRECTORY, commonDesktop);

    PathTexts t;
    const struct
    {
        int id;
        GString* text;
    } loads[] = {
        {kStringTextFileName, &t.textFileName},
        {kStringPageLinkName, &t.pageLinkName},
        {kStringPageFileName, &t.pageFileName},
        {kStringDocMainName, &t.docMainName},
        {kStringDocMainQualifier, &t.docMainQualifier},
        {kStringDocSecondName, &t.docSecondName},
        {kStringDocEnding, &t.docEnding},
        {kStringLinkEnding, &t.linkEnding},
        {kStringTextEnding, &t.textEnding},
        {kStringPageLinkEnding, &t.pageLinkEnding},
        {kStringSetupLinkFormat, &t.setupLinkFormat},
        {kStringSetupLinkArgument, &t.setupLinkArgument},
        {kStringProductFolder, &t.productFolder},
        {kStringVersionFolder, &t.versionFolder},
    };
    for (const auto& load : loads)
    {
        // A missing text is an empty wide text: the paths then simply lack that part.
        if (!LoadText(load.id, *load.text))
            load.text->ClearAs(1);
    }

    // The main document's display name: "name (qualifier)".
    GString docMainTitle;
    int done = docMainTitle.ClearAs(1);
    done &= docMainTitle.Append(t.docMainName);
    done &= docMainTitle.AppendWide(L" (", 2);
    done &= docMainTitle.Append(t.docMainQualifier);
    done &= docMainTitle.AppendWide(L")", 1);

    done &= JoinPath(m_programParent, programFiles, t.productFolder, nullptr);
    done &= JoinPath(m_programFolder, m_programParent, t.versionFolder, nullptr);
    done &= JoinPath(m_menuParent, commonPrograms, t.productFolder, nullptr);
    done &= JoinPath(m_menuFolder, m_menuParent, t.versionFolder, nullptr);

    done &= JoinPath(m_docMain, m_programFolder, docMainTitle, &t.docEnding);
    done &= JoinPath(m_docMainMenuLink, m_menuFolder, docMainTitle, &t.linkEnding);
    done &= JoinPath(m_docMainDesktopLink, commonDesktop, docMainTitle, &t.linkEnding);
    done &= JoinPath(m_docSecond, m_programFolder, t.docSecondName, &t.docEnding);
    done &= JoinPath(m_docSecondMenuLink, m_menuFolder, t.docSecondName, &t.linkEnding);
    done &= JoinPath(m_docSecondDesktopLink, commonDesktop, t.docSecondName, &t.linkEnding);
    done &= JoinPath(m_textFile, m_programFolder, t.textFileName, &t.textEnding);
    done &= JoinPath(m_textFileMenuLink, m_menuFolder, t.textFileName, &t.linkEnding);
    done &= JoinPath(m_textFileDesktopLink, commonDesktop, t.textFileName, &t.linkEnding);
    done &= JoinPath(m_pageMenuLink, m_menuFolder, t.pageLinkName, &t.pageLinkEnding);
    done &= JoinPath(m_pageDesktopLink, commonDesktop, t.pageLinkName, &t.pageLinkEnding);
    done &= JoinPath(m_pageFile, m_programFolder, t.pageFileName, nullptr);

    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 1)
    {
        if (argv)
            LocalFree(argv);
        return 0;
    }
    done &= m_setupPath.AssignWide(argv[0]);
    LocalFree(argv);

    // The copy keeps the program's own file name; a bare name is used whole.
    GString fileName;
    done &= fileName.Assign(m_setupPath);
    int slash = fileName.ReverseFind(L'\\', 0);
    if (slash >= 0)
        fileName.DropFront(slash + 1);
    done &= JoinPath(m_setupCopy, m_programFolder, fileName, nullptr);

    done &= Format(&m_setupLinkName, t.setupLinkFormat.WideText(0),
                   t.setupLinkArgument.WideText(0));
    done &= JoinPath(m_setupMenuLink, m_menuFolder, m_setupLinkName, &t.linkEnding);

    // Every step ran; 0 only says some text could not be stored (out of memory).
    return done ? 1 : 0;
}

int CInstall::GetLayoutVariant()
{
    if (m_layoutVariant >= 0)
        return m_layoutVariant;
    GString layoutName;
    LoadText(kStringLayoutName, layoutName);
    m_layoutVariant = 0;
    // An empty name occurs nowhere, so the first variant stays.
    if (layoutName.length == 0 || !layoutName.wide)
        return m_layoutVariant;
    for (int v = 0; v < kLayoutVariantCount; ++v)
    {
        if (!LoadText(kStringFirstVariantName + v, m_text) || m_text.length == 0)
            continue;
        if (m_text.FindWide(layoutName.WideText(0), 0, layoutName.length) >= 0)
        {
            m_layoutVariant = v;
            break;
        }
    }
    return m_layoutVariant;
}

int CInstall::SetLayoutVariant(int value)
{
    if (static_cast<unsigned int>(value) <= 2)
        m_layoutVariant = value;
    return value;
}

int CInstall::GetDecimalVariant()
{
    if (m_decimalVariant >= 0)
        return m_decimalVariant;
    int chars = GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, nullptr, 0);
    if (chars <= 0)
        return -1;
    GString separator;
    separator.ClearAs(1);
    wchar_t* buffer = separator.BeginWideWrite(chars);
    if (!buffer)
        return -1;
    if (!GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, chars))
        return -1;
    buffer[chars - 1] = 0;
    separator.SetLength(-1);
    m_decimalVariant = (separator.length == 1 && separator.WideText(0)[0] == L',') ? 0 : 1;
    return m_decimalVariant;
}

int CInstall::SetDecimalVariant(int value)
{
    if (value == 0 || value == 1)
        m_decimalVariant = value;
    return value;
}

int CInstall::GetLayoutSetFlag()
{
    return m_layoutSetFlagB;
}

int CInstall::SetLayoutSetFlag(int value)
{
    m_layoutSetFlagB = value;
    return value;
}

int CInstall::SetModifyOnly(int value)
{
    m_modifyOnly = value;
    if (value != 0)
        m_licenceAccepted = 1;
    return value;
}
