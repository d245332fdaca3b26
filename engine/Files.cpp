// File, process and shell operations: each wraps one or a few platform calls and folds the
// outcome into 1/0 or a handle/null. Which files and commands are used is decided by the
// install and uninstall procedures.
#include "core/Install.h"

#include <objbase.h>
#include <objidl.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <stdarg.h>
#include <stdlib.h>

namespace
{
const int kStringDocumentType = 41;
const int kStringDocumentCommand = 2;
const int kStringDocumentText = 95;
const int kStringRedirectionModule = 144;
const int kStringRedirectionOff = 56;
const int kStringRedirectionOn = 57;

const int kTempFolderChars = 772;
const int kTempFileChars = 261;
const int kAssociationChars = 2048;
const DWORD kCommandWaitMs = 1000;

// Spelled out here so that the program needs no GUID library.
const GUID kClsidShellLink = {0x00021401, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kIidShellLinkW = {0x000214F9, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};
const GUID kIidPersistFile = {0x0000010B, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

const char kHexDigits[] = "0123456789ABCDEF";

int HexDigitValue(char ch)
{
    for (int i = 0; i < 16; i++)
    {
        if (kHexDigits[i] == ch)
            return i;
    }
    return -1;
}

int IsBlank(wchar_t ch)
{
    return ch == L' ' || ch == L'\t';
}

int IsAbsolutePath(const wchar_t* path, int length)
{
    if (length >= 3 && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/'))
        return (path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z');
    return length >= 3 && path[0] == L'\\' && path[1] == L'\\';
}

int HasPathCharacter(const wchar_t* text, int length)
{
    for (int i = 0; i < length; i++)
    {
        if (text[i] == L'\\' || text[i] == L'/' || text[i] == L':')
            return 1;
    }
    return 0;
}

// The command line that is started, built from a template whose first word names the program.
// The program is taken from the template's first word alone (quoted or not), formatted on its
// own so that a path with spaces from an argument stays one program; it is then written quoted,
// and a bare name is taken from the system folder. Without this, CreateProcessW would try the
// setup program's folder, the current folder and the search path, or the first word of a path
// with spaces: places where a planted program would run with administrator rights.
// 0 when the template names no program this rule accepts.
int BuildCommandLine(const GString& commandTemplate, va_list args, GString& line)
{
    const wchar_t* text = commandTemplate.WideText(0);
    const int length = commandTemplate.length;
    if (!text || !commandTemplate.wide)
        return 0;

    int start = 0;
    while (start < length && IsBlank(text[start]))
        start++;
    int programStart = start;
    int programEnd;
    int restStart;
    if (start < length && text[start] == L'"')
    {
        programStart = start + 1;
        programEnd = programStart;
        while (programEnd < length && text[programEnd] != L'"')
            programEnd++;
        if (programEnd >= length)
            return 0;
        restStart = programEnd + 1;
    }
    else
    {
        programEnd = programStart;
        while (programEnd < length && !IsBlank(text[programEnd]))
            programEnd++;
        restStart = programEnd;
    }
    if (programEnd == programStart)
        return 0;

    GString programTemplate;
    GString wholeTemplate;
    if (!programTemplate.AssignWide(text + programStart, programEnd - programStart) ||
        !wholeTemplate.AssignWide(text + programStart, programEnd - programStart) ||
        !wholeTemplate.AppendWide(text + restStart, length - restStart))
        return 0;

    // The template's conversions take their arguments in order, so the program's expansion is
    // the start of the whole expansion.
    GString program;
    GString whole;
    va_list programArgs;
    va_copy(programArgs, args);
    int ok = program.ClearAs(1) && program.AppendFormatV(programTemplate.WideText(0), programArgs);
    va_end(programArgs);
    if (!ok || !whole.ClearAs(1) || !whole.AppendFormatV(wholeTemplate.WideText(0), args))
        return 0;
    const int programLength = program.length;
    const wchar_t* programText = program.WideText(0);
    if (programLength == 0 || whole.length < programLength ||
        CompareUnits(programText, whole.WideText(0), programLength, programLength) != 0)
        return 0;
    for (int i = 0; i < programLength; i++)
    {
        if (programText[i] == L'"' || programText[i] < L' ')
            return 0;
    }

    if (!line.ClearAs(1) || !line.AppendWideChar(L'"'))
        return 0;
    if (!HasPathCharacter(programText, programLength))
    {
        wchar_t system[MAX_PATH + 1];
        UINT count = GetSystemDirectoryW(system, MAX_PATH);
        if (count == 0 || count >= MAX_PATH)
            return 0;
        system[count] = 0;
        if (!line.AppendWide(system, static_cast<int>(count)) ||
            !line.AppendPathWide(programText, programLength))
            return 0;
    }
    else if (IsAbsolutePath(programText, programLength))
    {
        if (!line.AppendWide(programText, programLength))
            return 0;
    }
    else
    {
        // A relative path would be looked up from the current folder.
        return 0;
    }
    return line.AppendWideChar(L'"') &&
           line.AppendWide(whole.WideText(programLength), whole.length - programLength);
}
}

HANDLE CInstall::CreateFileForWrite(const wchar_t* path)
{
    if (!path)
        return nullptr;
    HANDLE file = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    return file == INVALID_HANDLE_VALUE ? nullptr : file;
}

HANDLE CInstall::CreateFileForWrite(GString& path)
{
    if (path.length == 0)
        return nullptr;
    return CreateFileForWrite(path.MakeWide());
}

int CInstall::WriteBytes(HANDLE file, const void* data, int count)
{
    if (!file || !data || count <= 0)
        return 0;
    DWORD written = 0;
    if (!WriteFile(file, data, static_cast<DWORD>(count), &written, nullptr))
        return 0;
    return written == static_cast<DWORD>(count);
}

int CInstall::WriteText(HANDLE file, GString& text)
{
    if (!file || text.length == 0)
        return 0;
    const char* bytes = text.MakeNarrow(0);
    if (!bytes || text.wide)
        return 0;
    return WriteBytes(file, bytes, text.length);
}

int CInstall::DeleteOrSchedule(const wchar_t* path)
{
    if (!path || path[0] == 0)
        return 0;
    if (DeleteFileW(path) || GetLastError() == ERROR_FILE_NOT_FOUND)
        return 1;
    return MoveFileExW(path, nullptr, MOVEFILE_DELAY_UNTIL_REBOOT) ? 1 : 0;
}

int CInstall::DeleteOrSchedule(GString& path)
{
    if (path.length == 0)
        return 0;
    return DeleteOrSchedule(path.MakeWide());
}

int CInstall::RemoveFolder(GString& path)
{
    if (path.length == 0)
        return 0;
    const wchar_t* wide = path.MakeWide();
    return wide && RemoveDirectoryW(wide) ? 1 : 0;
}

int CInstall::EnsureFolder(const wchar_t* path)
{
    if (!path || path[0] == 0)
        return 0;
    if (CreateDirectoryW(path, nullptr))
        return 1;
    return GetLastError() == ERROR_ALREADY_EXISTS;
}

int CInstall::EnsureFolder(GString& path)
{
    if (path.length == 0)
        return 0;
    return EnsureFolder(path.MakeWide());
}

int CInstall::GetTempFolder(GString& out)
{
    out.ClearAs(1);
    wchar_t* buffer = out.BeginWideWrite(kTempFolderChars);
    if (!buffer)
        return 0;
    buffer[0] = 0;
    DWORD count = GetTempPathW(kTempFolderChars - 1, buffer);
    // A count as large as the buffer is the size the path would need: it did not fit.
    if (count == 0 || count >= static_cast<DWORD>(kTempFolderChars - 1))
    {
        out.ClearAs(1);
        return 0;
    }
    buffer[count] = 0;
    return out.SetLength(static_cast<int>(count));
}

int CInstall::MakeTempFile(GString& out, int prefixId, const wchar_t* folder)
{
    if (prefixId == 0)
        return 0;
    GString prefix;
    LoadText(prefixId, prefix);
    if (!prefix.MakeWide())
        return 0;
    GString tempFolder;
    if (!folder)
    {
        if (!GetTempFolder(tempFolder))
            return 0;
        folder = tempFolder.WideText(0);
    }
    out.ClearAs(1);
    wchar_t* buffer = out.BeginWideWrite(kTempFileChars);
    if (!buffer)
        return 0;
    buffer[0] = 0;
    if (GetTempFileNameW(folder, prefix.WideText(0), 0, buffer) == 0)
    {
        out.ClearAs(1);
        return 0;
    }
    buffer[kTempFileChars - 1] = 0;
    return out.SetLength(-1);
}

int CInstall::CreateShortcut(const wchar_t* target, const wchar_t* linkFile,
                             const wchar_t* description, const wchar_t* iconFile, int iconIndex)
{
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(kClsidShellLink, nullptr, CLSCTX_INPROC_SERVER, kIidShellLinkW,
                                reinterpret_cast<void**>(&link))) ||
        !link)
        return 0;
    link->SetPath(target);
    link->SetDescription(description);
    if (iconFile)
        link->SetIconLocation(iconFile, iconIndex);
    IPersistFile* persist = nullptr;
    if (FAILED(link->QueryInterface(kIidPersistFile, reinterpret_cast<void**>(&persist))) ||
        !persist)
    {
        link->Release();
        return 0;
    }
    persist->Save(linkFile, TRUE);
    persist->Release();
    link->Release();
    return 1;
}

int CInstall::GetAssociatedExecutable(int typeId, GString& out)
{
    out.ClearAs(1);
    GString type;
    if (!LoadText(typeId, type) || type.length == 0)
        return 0;
    wchar_t* buffer = out.BeginWideWrite(kAssociationChars);
    if (!buffer)
        return 0;
    buffer[0] = 0;
    DWORD capacity = kAssociationChars;
    HRESULT result = AssocQueryStringW(0, ASSOCSTR_EXECUTABLE, type.WideText(0), nullptr, buffer,
                                       &capacity);
    buffer[kAssociationChars - 1] = 0;
    out.SetLength(-1);
    return SUCCEEDED(result) ? 1 : 0;
}

unsigned char* CInstall::DecodeHexBytes(int id, int* count)
{
    GString text;
    if (!LoadText(id, text) || text.length == 0)
        return nullptr;
    const char* digits = text.MakeNarrow(0);
    if (!digits || text.wide)
        return nullptr;
    const int n = text.length / 2;
    if (count)
        *count = n;
    unsigned char* block = static_cast<unsigned char*>(malloc(static_cast<size_t>(n / 2 + 1) * 2));
    if (!block)
        return nullptr;
    for (int i = 0; i < n; i++)
    {
        const int high = HexDigitValue(digits[2 * i]);
        const int low = HexDigitValue(digits[2 * i + 1]);
        if (high < 0 || low < 0)
        {
            free(block);
            return nullptr;
        }
        block[i] = static_cast<unsigned char>(high * 16 + low);
    }
    return block;
}

int CInstall::RunCommand(int templateId, ...)
{
    if (templateId == 0)
        return 0;
    LoadText(templateId, m_text);
    if (!m_text.MakeWide())
        return 1;

    GString line;
    va_list args;
    va_start(args, templateId);
    const int built = BuildCommandLine(m_text, args, line);
    va_end(args);
    if (!built)
        return 1;

    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof(startup));
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process;
    ZeroMemory(&process, sizeof(process));
    // CreateProcessW may write into the command line, so it gets the string's own block.
    wchar_t* commandLine = const_cast<wchar_t*>(line.WideText(0));
    if (CreateProcessW(nullptr, commandLine, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                       &process))
    {
        WaitForSingleObject(process.hProcess, kCommandWaitMs);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return 1;
}

int CInstall::OpenWithAssociated(int typeId, int templateId, const wchar_t* argument)
{
    GString executable;
    if (!GetAssociatedExecutable(typeId, executable))
        return 0;
    return RunCommand(templateId, executable.WideText(0), argument);
}

int CInstall::OpenExternalDocument()
{
    GString document;
    LoadText(kStringDocumentText, document);
    if (!document.MakeWide())
        return 0;
    return OpenWithAssociated(kStringDocumentType, kStringDocumentCommand, document.WideText(0));
}

int CInstall::WriteBlobFile(const wchar_t* path, const unsigned char* blob, int size)
{
    if (!path || !blob)
        return 0;
    int length = size;
    unsigned char* block = m_guard.Decode(blob, &length, nullptr);
    if (!block)
        return 0;
    HANDLE file = CreateFileForWrite(path);
    if (!file)
    {
        free(block);
        return 0;
    }
    const int written = WriteBytes(file, block, length);
    CloseHandle(file);
    free(block);
    return written;
}

HMODULE CInstall::LoadRedirectionFunctions(RedirectionOffFn* switchOff, RedirectionOnFn* switchOn)
{
    if (switchOff)
        *switchOff = nullptr;
    if (switchOn)
        *switchOn = nullptr;
    if (!switchOff || !switchOn)
        return nullptr;
    HMODULE module = LoadLibraryById(kStringRedirectionModule);
    if (!module)
        return nullptr;
    RedirectionOffFn off = reinterpret_cast<RedirectionOffFn>(
        GetProcAddressById(kStringRedirectionOff, kStringRedirectionModule, &module));
    RedirectionOnFn on = reinterpret_cast<RedirectionOnFn>(
        GetProcAddressById(kStringRedirectionOn, kStringRedirectionModule, &module));
    if (!off || !on)
    {
        FreeLibrary(module);
        return nullptr;
    }
    *switchOff = off;
    *switchOn = on;
    return module;
}

void CInstall::EnterRedirectionBracket(RedirectionBracket& bracket)
{
    bracket.module = nullptr;
    bracket.switchOn = nullptr;
    bracket.saved = nullptr;
    if (!m_is64BitOs)
        return;
    RedirectionOffFn switchOff = nullptr;
    RedirectionOnFn switchOn = nullptr;
    bracket.module = LoadRedirectionFunctions(&switchOff, &switchOn);
    // Switched back on only when it was switched off: the saved word is meaningless otherwise.
    if (switchOff && switchOff(&bracket.saved))
        bracket.switchOn = switchOn;
}

void CInstall::LeaveRedirectionBracket(RedirectionBracket& bracket)
{
    if (bracket.switchOn)
        bracket.switchOn(bracket.saved);
    if (bracket.module)
        FreeLibrary(bracket.module);
    bracket.module = nullptr;
    bracket.switchOn = nullptr;
    bracket.saved = nullptr;
}
