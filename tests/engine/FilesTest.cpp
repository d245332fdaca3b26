// File, process and shell operations against the real file system, shell and process start of
// the test's own prefix, with the files-fixture store (tests/engine/files-fixture/strings).
//
// Started programs are copies of this test program: when KBD_RECORD_FILE is set in its
// environment it writes its own path and command line there and ends before any test runs.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <gtest/gtest.h>

#include <stdlib.h>
#include <string.h>

#include <string>

#include "core/Install.h"
#include "payload/AssetStore.h"
#include "tests/engine/FilesTestUtil.h"

using namespace filetest;

namespace
{
int RecordIfAsked()
{
    wchar_t out[MAX_PATH] = {0};
    if (!GetEnvironmentVariableW(L"KBD_RECORD_FILE", out, MAX_PATH))
        return 0;
    wchar_t module[MAX_PATH] = {0};
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring text = std::wstring(module) + L"\n" + GetCommandLineW();
    // Written aside and renamed, so that the waiting test never reads half a record.
    std::wstring part = std::wstring(out) + L".part";
    HANDLE file = CreateFileW(part.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE)
    {
        DWORD written = 0;
        WriteFile(file, text.data(), static_cast<DWORD>(text.size() * 2), &written, nullptr);
        CloseHandle(file);
        MoveFileExW(part.c_str(), out, MOVEFILE_REPLACE_EXISTING);
    }
    ExitProcess(0);
}
const int g_recorded = RecordIfAsked();

const wchar_t kRoot[] = L"C:\\kbdfiles";
const int kPrefixId = 300;
const int kEmptyPrefixId = 301;
const int kNoText = 9999;

// files-fixture/doc.txt
const char kDocument[] = "Main document of the file fixture.\r\nSecond line, with UTF-8: za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87.";

class Files : public ::testing::Test
{
protected:
    void SetUp() override
    {
        (void)g_recorded;
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        ASSERT_EQ(1, install.Init(GetModuleHandleW(nullptr)));
        RemoveTree(kRoot);
        ASSERT_TRUE(CreateDirectoryW(kRoot, nullptr));
    }
    void TearDown() override
    {
        SetCurrentDirectoryW(L"C:\\");
        RemoveTree(kRoot);
        CoUninitialize();
    }
    std::wstring Path(const wchar_t* name) { return std::wstring(kRoot) + L"\\" + name; }

    COverrideInstall install;
};

TEST_F(Files, WritesBytesAndUtf8TextAndRefusesEmptyWrites)
{
    std::wstring path = Path(L"out.bin");
    GString gpath;
    gpath.AssignNarrow("C:\\kbdfiles\\out.bin");
    HANDLE file = install.CreateFileForWrite(gpath);
    ASSERT_NE(nullptr, file);
    EXPECT_EQ(1, gpath.wide) << "the caller's path is left wide";
    const unsigned char data[] = {0, 1, 0xFF, 'x'};
    EXPECT_EQ(0, install.WriteBytes(file, data, 0));
    EXPECT_EQ(0, install.WriteBytes(file, nullptr, 4));
    EXPECT_EQ(0, install.WriteBytes(nullptr, data, 4));
    EXPECT_EQ(1, install.WriteBytes(file, data, 4));
    GString empty;
    EXPECT_EQ(0, install.WriteText(file, empty));
    GString text;
    text.AssignWide(L"Za\x017C\x00F3\x0142\x0107\r\nend");
    EXPECT_EQ(1, install.WriteText(file, text));
    EXPECT_EQ(0, install.WriteText(nullptr, text));
    CloseHandle(file);

    Bytes bytes;
    ASSERT_TRUE(ReadBytes(path, &bytes));
    const char expectedText[] = "Za\xC5\xBC\xC3\xB3\xC5\x82\xC4\x87\r\nend";
    Bytes expected(data, data + 4);
    expected.insert(expected.end(), expectedText, expectedText + strlen(expectedText));
    EXPECT_EQ(expected, bytes) << "UTF-8 without byte-order mark or terminator";

    // An existing file is truncated.
    file = install.CreateFileForWrite(path.c_str());
    ASSERT_NE(nullptr, file);
    CloseHandle(file);
    ASSERT_TRUE(ReadBytes(path, &bytes));
    EXPECT_TRUE(bytes.empty());

    EXPECT_EQ(nullptr, install.CreateFileForWrite(L"C:\\kbdfiles\\no folder\\out.bin"));
}

TEST_F(Files, DeleteOrScheduleDeletesNowOrAtRestart)
{
    EXPECT_EQ(0, install.DeleteOrSchedule(static_cast<const wchar_t*>(nullptr)));
    EXPECT_EQ(0, install.DeleteOrSchedule(L""));
    GString empty;
    EXPECT_EQ(0, install.DeleteOrSchedule(empty));

    std::wstring missing = Path(L"missing.txt");
    EXPECT_EQ(1, install.DeleteOrSchedule(missing.c_str()));
    EXPECT_FALSE(IsPendingAtAll(missing)) << "a file that is gone is not scheduled";

    std::wstring plain = Path(L"plain.txt");
    WriteBytesTo(plain, Bytes{'a'});
    GString gplain;
    gplain.AssignNarrow("C:\\kbdfiles\\plain.txt");
    EXPECT_EQ(1, install.DeleteOrSchedule(gplain));
    EXPECT_FALSE(Exists(plain));
    EXPECT_FALSE(IsPendingAtAll(plain));

    // A file held open without sharing cannot go now: it goes at the next restart.
    std::wstring locked = Path(L"locked.txt");
    WriteBytesTo(locked, Bytes{'b'});
    HANDLE hold = CreateFileW(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, hold);
    EXPECT_EQ(1, install.DeleteOrSchedule(locked.c_str()));
    CloseHandle(hold);
    EXPECT_TRUE(Exists(locked));
    EXPECT_TRUE(IsPending(locked, L"")) << "a deletion request for the locked file";
}

TEST_F(Files, RemoveFolderRemovesOnlyAnEmptyFolder)
{
    std::wstring folder = Path(L"sub");
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    WriteBytesTo(folder + L"\\file.txt", Bytes{'c'});
    GString gfolder;
    gfolder.AssignWide(folder.c_str());
    EXPECT_EQ(0, install.RemoveFolder(gfolder));
    EXPECT_TRUE(Exists(folder));
    DeleteFileW((folder + L"\\file.txt").c_str());
    EXPECT_EQ(1, install.RemoveFolder(gfolder));
    EXPECT_FALSE(Exists(folder));
    GString empty;
    EXPECT_EQ(0, install.RemoveFolder(empty));
}

TEST_F(Files, EnsureFolderCreatesOneLevel)
{
    std::wstring folder = Path(L"one");
    EXPECT_EQ(1, CInstall::EnsureFolder(folder.c_str()));
    EXPECT_TRUE(Exists(folder));
    EXPECT_EQ(1, CInstall::EnsureFolder(folder.c_str())) << "an existing folder is fine";
    std::wstring deep = Path(L"two\\three");
    EXPECT_EQ(0, CInstall::EnsureFolder(deep.c_str()));
    EXPECT_FALSE(Exists(Path(L"two"))) << "no parent is made";
    GString gdeep;
    gdeep.AssignWide(deep.c_str());
    EXPECT_EQ(0, CInstall::EnsureFolder(gdeep));
    EXPECT_EQ(0, CInstall::EnsureFolder(L""));
    // A file of that name is not a folder.
    WriteBytesTo(Path(L"file"), Bytes{'d'});
    GString file;
    file.AssignWide(Path(L"file").c_str());
    EXPECT_EQ(1, CInstall::EnsureFolder(file)) << "the platform reports it as existing";
}

TEST_F(Files, TempFolderAndTempFiles)
{
    GString folder;
    ASSERT_EQ(1, install.GetTempFolder(folder));
    wchar_t expected[MAX_PATH] = {0};
    GetTempPathW(MAX_PATH, expected);
    EXPECT_EQ(std::wstring(expected), Wide(folder));

    GString out;
    EXPECT_EQ(0, install.MakeTempFile(out, 0, kRoot));

    ASSERT_EQ(1, install.MakeTempFile(out, kPrefixId, kRoot));
    std::wstring made = Wide(out);
    EXPECT_EQ(Lower(Path(L"kbd")), Lower(made.substr(0, Path(L"kbd").size()))) << Narrow(made);
    Bytes bytes;
    ASSERT_TRUE(ReadBytes(made, &bytes)) << "the platform made the file";
    EXPECT_TRUE(bytes.empty());

    GString second;
    ASSERT_EQ(1, install.MakeTempFile(second, kPrefixId, kRoot));
    EXPECT_NE(made, Wide(second)) << "each call makes a new file";

    // Without a folder: the temporary folder; a prefix id without text: no prefix.
    GString inTemp;
    ASSERT_EQ(1, install.MakeTempFile(inTemp, kNoText, nullptr));
    std::wstring tempMade = Wide(inTemp);
    EXPECT_EQ(Lower(Wide(folder)), Lower(tempMade.substr(0, folder.length)));
    EXPECT_TRUE(Exists(tempMade));
    DeleteFileW(tempMade.c_str());
    GString emptyPrefix;
    ASSERT_EQ(1, install.MakeTempFile(emptyPrefix, kEmptyPrefixId, kRoot));
    EXPECT_TRUE(Exists(Wide(emptyPrefix)));

    EXPECT_EQ(0, install.MakeTempFile(out, kPrefixId, L"C:\\kbdfiles\\no folder"));
}

struct LinkFacts
{
    std::wstring path, description, icon;
    int iconIndex = -1;
};

LinkFacts ReadLink(const std::wstring& file)
{
    LinkFacts facts;
    IShellLinkW* link = nullptr;
    if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                reinterpret_cast<void**>(&link))))
        return facts;
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))))
    {
        if (SUCCEEDED(persist->Load(file.c_str(), STGM_READ)))
        {
            wchar_t buffer[MAX_PATH] = {0};
            if (SUCCEEDED(link->GetPath(buffer, MAX_PATH, nullptr, SLGP_RAWPATH)))
                facts.path = buffer;
            buffer[0] = 0;
            if (SUCCEEDED(link->GetDescription(buffer, MAX_PATH)))
                facts.description = buffer;
            buffer[0] = 0;
            int index = -1;
            if (SUCCEEDED(link->GetIconLocation(buffer, MAX_PATH, &index)))
            {
                facts.icon = buffer;
                facts.iconIndex = index;
            }
        }
        persist->Release();
    }
    link->Release();
    return facts;
}

TEST_F(Files, CreateShortcutWritesALinkTheShellReadsBack)
{
    std::wstring target = Path(L"target.txt");
    WriteBytesTo(target, Bytes{'t'});
    struct Case
    {
        const wchar_t* link;
        const wchar_t* icon;
        int index;
    } cases[] = {
        {L"with icon.lnk", L"C:\\windows\\system32\\shell32.dll", 3},
        {L"icon index 0.lnk", L"C:\\kbdfiles\\target.txt", 0},
        {L"no icon.lnk", nullptr, 7},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(Narrow(c.link));
        std::wstring link = Path(c.link);
        ASSERT_EQ(1, CInstall::CreateShortcut(target.c_str(), link.c_str(), L"Fixture shortcut",
                                              c.icon, c.index));
        ASSERT_TRUE(Exists(link));
        LinkFacts facts = ReadLink(link);
        EXPECT_EQ(Lower(target), Lower(facts.path));
        EXPECT_EQ(L"Fixture shortcut", facts.description);
        if (c.icon)
        {
            EXPECT_EQ(Lower(c.icon), Lower(facts.icon));
            EXPECT_EQ(c.index, facts.iconIndex);
        }
        else
        {
            EXPECT_EQ(L"", facts.icon) << "no icon location is set";
        }
    }
}

TEST_F(Files, DecodeHexBytesTable)
{
    struct Case
    {
        int id;
        bool decoded;
        Bytes bytes;
        int count;  // -7: not written
    } cases[] = {
        {310, true, {0x0A, 0x1B}, 2},
        {311, false, {}, 2},                        // lower-case digits
        {312, true, {0x0A}, 1},                     // a trailing odd digit is ignored
        {313, false, {}, -7},                       // empty text
        {314, false, {}, 1},                        // not a digit
        {315, true, {0x00, 0xFF, 0x7F, 0x80, 0xC3}, 5},
        {316, false, {}, 2},                        // a space inside
        {317, true, {}, 0},                         // one digit: no byte
        {kNoText, false, {}, -7},
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.id);
        int count = -7;
        unsigned char* block = install.DecodeHexBytes(c.id, &count);
        EXPECT_EQ(c.count, count);
        if (!c.decoded)
        {
            EXPECT_EQ(nullptr, block);
            continue;
        }
        ASSERT_NE(nullptr, block);
        EXPECT_EQ(c.bytes, Bytes(block, block + count));
        free(block);
    }
}

// Runs `run` with copies of this program recording where they are started; the record is the
// started program's path and its command line, or empty when nothing was started.
template <typename Run>
std::pair<std::wstring, std::wstring> Recorded(const std::wstring& record, Run run, int* result,
                                               int waitMs)
{
    DeleteFileW(record.c_str());
    SetEnvironmentVariableW(L"KBD_RECORD_FILE", record.c_str());
    *result = run();
    SetEnvironmentVariableW(L"KBD_RECORD_FILE", nullptr);
    Bytes bytes;
    for (int waited = 0; waited < waitMs && !ReadBytes(record, &bytes); waited += 100)
        Sleep(100);
    std::wstring text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(static_cast<wchar_t>(bytes[i] | (bytes[i + 1] << 8)));
    size_t newline = text.find(L'\n');
    if (newline == std::wstring::npos)
        return std::make_pair(text, std::wstring());
    return std::make_pair(text.substr(0, newline), text.substr(newline + 1));
}

std::wstring SelfPath()
{
    wchar_t self[MAX_PATH] = {0};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return self;
}

TEST_F(Files, RunCommandStartsTheNamedProgramQuotedAndNoPlantedOne)
{
    const std::wstring self = SelfPath();
    const std::wstring record = Path(L"record.txt");
    const std::wstring system = SystemFolder();
    // The program, and programs planted where an unquoted or bare name would find them first.
    ASSERT_TRUE(CreateDirectoryW(Path(L"Program Files").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Path(L"cwd").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW(Path(L"cwd\\sub").c_str(), nullptr));
    const std::wstring program = Path(L"Program Files\\rec.exe");
    const std::wstring plantedSpace = Path(L"Program.exe");
    const std::wstring systemProgram = system + L"\\kbdrec.exe";
    const std::wstring plantedCwd = Path(L"cwd\\kbdrec.exe");
    const std::wstring plantedSub = Path(L"cwd\\sub\\kbdrec.exe");
    for (const std::wstring& copy : {program, plantedSpace, systemProgram, plantedCwd, plantedSub})
        ASSERT_TRUE(CopyFileW(self.c_str(), copy.c_str(), FALSE)) << Narrow(copy);
    ASSERT_TRUE(SetCurrentDirectoryW(Path(L"cwd").c_str()));

    int result = -1;
    auto ran = Recorded(record, [&] { return install.RunCommand(320, program.c_str(), L"plain argument"); },
                        &result, 20000);
    EXPECT_EQ(1, result);
    EXPECT_EQ(Lower(program), Lower(ran.first));
    EXPECT_EQ(L"\"" + program + L"\" plain argument", ran.second);

    // An unquoted program with a space: the whole argument is the program.
    ran = Recorded(record, [&] { return install.RunCommand(321, program.c_str(), L"x y"); },
                   &result, 20000);
    EXPECT_EQ(1, result);
    EXPECT_EQ(Lower(program), Lower(ran.first)) << "not " << Narrow(plantedSpace);
    EXPECT_EQ(L"\"" + program + L"\" x y", ran.second);

    // A bare name: the system folder's program, not the one in the current folder.
    ran = Recorded(record, [&] { return install.RunCommand(322, L"C:\\some file.xml"); }, &result,
                   20000);
    EXPECT_EQ(1, result);
    EXPECT_EQ(Lower(systemProgram), Lower(ran.first));
    EXPECT_EQ(L"\"" + system + L"\\kbdrec.exe\" C:\\some file.xml", ran.second);
    DeleteFileW(systemProgram.c_str());

    // A relative path is refused: it would be found from the current folder.
    ran = Recorded(record, [&] { return install.RunCommand(323, L"arg"); }, &result, 3000);
    EXPECT_EQ(1, result) << "a command that is not started is skipped silently";
    EXPECT_EQ(L"", ran.first) << Narrow(ran.second);
}

TEST_F(Files, RunCommandResultsWithoutAStart)
{
    EXPECT_EQ(0, install.RunCommand(0, L"x"));
    EXPECT_EQ(1, install.RunCommand(324)) << "a program that does not exist";
    EXPECT_EQ(1, install.RunCommand(kNoText)) << "an id without text";
    EXPECT_EQ(1, install.RunCommand(325, L"C:\\x.exe")) << "an unbalanced quote";
}

TEST_F(Files, OpenExternalDocumentStartsTheAssociatedProgram)
{
    const std::wstring program = Path(L"assoc viewer.exe");
    ASSERT_TRUE(CopyFileW(SelfPath().c_str(), program.c_str(), FALSE));
    HKEY type = nullptr, command = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, L".kbdrec", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &type, nullptr));
    RegSetValueExW(type, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(L"KbdRecFile"), 22);
    RegCloseKey(type);
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_CLASSES_ROOT, L"KbdRecFile\\shell\\open\\command",
                                             0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &command,
                                             nullptr));
    std::wstring line = L"\"" + program + L"\" \"%1\"";
    RegSetValueExW(command, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(line.c_str()),
                   static_cast<DWORD>((line.size() + 1) * 2));
    RegCloseKey(command);

    GString executable;
    ASSERT_EQ(1, install.GetAssociatedExecutable(41, executable));
    EXPECT_EQ(Lower(program), Lower(Wide(executable)));
    EXPECT_EQ(0, install.GetAssociatedExecutable(kNoText, executable));
    EXPECT_EQ(0, executable.length);

    int result = -1;
    auto ran = Recorded(Path(L"record.txt"), [&] { return install.OpenExternalDocument(); },
                        &result, 20000);
    EXPECT_EQ(1, result);
    EXPECT_EQ(Lower(program), Lower(ran.first));
    EXPECT_EQ(L"\"" + program + L"\" \"the document.txt\"", ran.second);

    SHDeleteKeyW(HKEY_CLASSES_ROOT, L".kbdrec");
    SHDeleteKeyW(HKEY_CLASSES_ROOT, L"KbdRecFile");
}

TEST_F(Files, WriteBlobFileWritesTheDecodedBlobAndNothingForABadOne)
{
    const unsigned char* blob = StoreBlob(kBlobDocMain);
    const int size = StoreBlobLength(kBlobDocMain);
    ASSERT_NE(nullptr, blob);
    std::wstring path = Path(L"doc.txt");
    ASSERT_EQ(1, install.WriteBlobFile(path.c_str(), blob, size));
    Bytes bytes;
    ASSERT_TRUE(ReadBytes(path, &bytes));
    EXPECT_EQ(Bytes(kDocument, kDocument + strlen(kDocument)), bytes);

    // One flipped byte anywhere in the stored blob fails its checks: no file at all.
    Bytes corrupt(blob, blob + size);
    for (size_t at : {size_t(0), corrupt.size() / 2, corrupt.size() - 1})
    {
        SCOPED_TRACE(at);
        Bytes copy = corrupt;
        copy[at] ^= 0x20;
        std::wstring bad = Path(L"bad.txt");
        EXPECT_EQ(0, install.WriteBlobFile(bad.c_str(), copy.data(), size));
        EXPECT_FALSE(Exists(bad));
    }
    EXPECT_EQ(0, install.WriteBlobFile(Path(L"short.txt").c_str(), blob, size - 8));
    EXPECT_FALSE(Exists(Path(L"short.txt")));
    EXPECT_EQ(0, install.WriteBlobFile(nullptr, blob, size));
    EXPECT_EQ(0, install.WriteBlobFile(path.c_str(), nullptr, size));
    EXPECT_EQ(0, install.WriteBlobFile(L"C:\\kbdfiles\\no folder\\doc.txt", blob, size));
}

TEST_F(Files, RedirectionFunctionsAreLookedUpByName)
{
    CInstall::RedirectionOffFn off = nullptr;
    CInstall::RedirectionOnFn on = nullptr;
    HMODULE module = install.LoadRedirectionFunctions(&off, &on);
    ASSERT_NE(nullptr, module);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection")),
              reinterpret_cast<void*>(off));
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection")),
              reinterpret_cast<void*>(on));
    FreeLibrary(module);

    // One name missing: neither function, and the library is not kept.
    install.Override(57, nullptr);
    off = reinterpret_cast<CInstall::RedirectionOffFn>(1);
    on = reinterpret_cast<CInstall::RedirectionOnFn>(1);
    EXPECT_EQ(nullptr, install.LoadRedirectionFunctions(&off, &on));
    EXPECT_EQ(nullptr, reinterpret_cast<void*>(off));
    EXPECT_EQ(nullptr, reinterpret_cast<void*>(on));
    install.Override(57, "Wow64RevertWow64FsRedirection");
    install.Override(144, "no such library.dll");
    EXPECT_EQ(nullptr, install.LoadRedirectionFunctions(&off, &on));

    // The bracket loads nothing on a 32-bit system and never fails where the names are missing.
    CInstall::RedirectionBracket bracket;
    install.m_is64BitOs = 0;
    install.Override(144, "kernel32.dll");
    install.EnterRedirectionBracket(bracket);
    EXPECT_EQ(nullptr, bracket.module);
    install.LeaveRedirectionBracket(bracket);
    install.m_is64BitOs = 1;
    install.EnterRedirectionBracket(bracket);
    EXPECT_NE(nullptr, bracket.module);
    // File operations inside the bracket still work.
    WriteBytesTo(Path(L"inside.txt"), Bytes{'i'});
    EXPECT_TRUE(Exists(Path(L"inside.txt")));
    install.LeaveRedirectionBracket(bracket);
    EXPECT_EQ(nullptr, bracket.module);
    install.Override(56, nullptr);
    install.EnterRedirectionBracket(bracket);
    EXPECT_EQ(nullptr, bracket.module);
    EXPECT_EQ(nullptr, reinterpret_cast<void*>(bracket.switchOn));
    install.LeaveRedirectionBracket(bracket);
}
}
