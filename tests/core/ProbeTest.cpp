// The system probe and the start-up checks against the startup-fixture store
// (tests/core/startup-fixture/strings) and a real Wine prefix. startup_versions.sh runs the
// StartupVersion cases again under each Windows version and locale it sets.
#include <windows.h>
#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>

#include "core/Install.h"

namespace
{
const int kFunctionNativeInfo = 58;
const int kModuleKernel = 144;
const int kFunctionFake = 200;   // exported below
const int kModuleSelf = 201;     // this program's file name
const int kFunctionMissing = 202;
const int kModuleMissing = 203;
const int kFunctionSystemInfo = 204;
const int kModuleUnloaded = 205;  // a system library this program does not load
const int kNoText = 9999;

const wchar_t kFrameClass[] = L"KbdStartupFixtureFrame";  // string 94
const wchar_t kCaption[] = L"Start-up fixture";           // string 93

uint16_t g_fakeArchitecture = 0;
int g_fakeCalls = 0;

std::wstring Environment(const wchar_t* name)
{
    wchar_t value[64] = {0};
    if (!GetEnvironmentVariableW(name, value, 64))
        return std::wstring();
    return value;
}

class Probe : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_EQ(1, install.Init(GetModuleHandleW(nullptr)));
    }
    CInstall install;
};

LRESULT CALLBACK PlainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}

// A top-level window of the given class, as another copy of the program would show it.
class TopWindow
{
public:
    TopWindow(const wchar_t* className, int visible)
    {
        WNDCLASSW wc;
        ZeroMemory(&wc, sizeof(wc));
        wc.lpfnWndProc = PlainWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = className;
        RegisterClassW(&wc);
        m_window = CreateWindowExW(0, className, L"other copy",
                                   WS_OVERLAPPEDWINDOW | (visible ? WS_VISIBLE : 0), 20, 20, 300,
                                   200, nullptr, nullptr, wc.hInstance, nullptr);
    }
    ~TopWindow()
    {
        if (m_window)
            DestroyWindow(m_window);
    }
    HWND m_window;
};

int EveryHeapIsSound()
{
    HANDLE heaps[64];
    const DWORD count = GetProcessHeaps(64, heaps);
    if (count == 0 || count > 64)
        return 0;
    for (DWORD i = 0; i < count; ++i)
        if (!HeapValidate(heaps[i], 0, nullptr))
            return 0;
    return 1;
}

// Answers the first message box with the fixture's caption and keeps its text.
struct BoxWatch
{
    std::wstring text;
    UINT style = 0;
    int seen = 0;
};

DWORD WINAPI WatchForBox(void* parameter)
{
    BoxWatch* watch = static_cast<BoxWatch*>(parameter);
    for (int i = 0; i < 300; ++i)
    {
        HWND box = FindWindowW(L"#32770", kCaption);
        if (box)
        {
            wchar_t text[256] = {0};
            GetDlgItemTextW(box, 0xFFFF, text, 256);
            watch->text = text;
            watch->seen = 1;
            PostMessageW(box, WM_COMMAND, IDOK, 0);
            return 0;
        }
        Sleep(100);
    }
    return 1;
}
}

// Stands in for the native-information function so that the probe can be shown every
// architecture code.
extern "C" __declspec(dllexport) void WINAPI KbdFakeNativeSystemInfo(LPSYSTEM_INFO info)
{
    ++g_fakeCalls;
    info->wProcessorArchitecture = g_fakeArchitecture;
}

TEST(SupportedSystem, TableOfVersionsAndArchitectures)
{
    const uint16_t architectures[] = {0, 5, 6, 9, 12, 0xFFFF};
    struct Row
    {
        int32_t code;
        int x86, ia64, amd64;  // accepted on 0, 6, 9; every other architecture is refused
    } rows[] = {
        {0, 0, 0, 0},   {40, 0, 0, 0},  {49, 0, 0, 0},  {50, 1, 0, 0},  {51, 1, 0, 0},
        {52, 1, 1, 1},  {53, 0, 0, 0},  {59, 0, 0, 0},  {60, 1, 1, 1},  {61, 1, 1, 1},
        {62, 1, 1, 1},  {63, 1, 1, 1},  {64, 0, 0, 0},  {70, 0, 0, 0},  {99, 0, 0, 0},
        {100, 1, 1, 1}, {101, 0, 0, 0}, {110, 0, 0, 0}, {-50, 0, 0, 0},
    };
    CInstall install;
    for (const Row& row : rows)
    {
        for (uint16_t arch : architectures)
        {
            install.m_osVersionCode = row.code;
            install.m_processorArchitecture = arch;
            const int expected = arch == 0 ? row.x86 : arch == 6 ? row.ia64 : arch == 9 ? row.amd64 : 0;
            EXPECT_EQ(expected, install.IsSupportedSystem()) << row.code << " on " << arch;
        }
    }
}

TEST_F(Probe, RealSystemThroughTheNativeFunction)
{
    install.m_osVersionCode = 7;
    ASSERT_EQ(1, install.ProbeSystem(kFunctionNativeInfo, kModuleKernel));
    EXPECT_EQ(9, install.m_processorArchitecture);
    EXPECT_EQ(1, install.m_is64BitOs);
    OSVERSIONINFOW version;
    ZeroMemory(&version, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExW(&version));
    EXPECT_EQ(static_cast<int32_t>(version.dwMajorVersion * 10 + version.dwMinorVersion),
              install.m_osVersionCode);
}

TEST_F(Probe, EveryArchitectureCodeOfTheNativeFunction)
{
    struct Case
    {
        uint16_t architecture;
        int is64;
    } cases[] = {{0, 0}, {5, 0}, {6, 1}, {9, 1}, {10, 0}, {12, 0}, {0xFFFF, 0}};
    for (const Case& c : cases)
    {
        g_fakeArchitecture = c.architecture;
        g_fakeCalls = 0;
        install.m_is64BitOs = 1 - c.is64;
        ASSERT_EQ(1, install.ProbeSystem(kFunctionFake, kModuleSelf));
        EXPECT_EQ(1, g_fakeCalls);
        EXPECT_EQ(c.architecture, install.m_processorArchitecture);
        EXPECT_EQ(c.is64, install.m_is64BitOs) << c.architecture;
    }
}

TEST_F(Probe, WithoutTheNativeFunctionTheSystemInformationServes)
{
    struct Case
    {
        int function;
        int module;
    } cases[] = {
        {kFunctionMissing, kModuleKernel},
        {kFunctionNativeInfo, kModuleMissing},
        {kNoText, kModuleKernel},
        {kFunctionNativeInfo, kNoText},
        {kFunctionSystemInfo, kModuleKernel},
    };
    for (const Case& c : cases)
    {
        g_fakeCalls = 0;
        install.m_processorArchitecture = 0;
        install.m_is64BitOs = 0;
        ASSERT_EQ(1, install.ProbeSystem(c.function, c.module));
        // A 64-bit process sees its own architecture in the plain call as well.
        EXPECT_EQ(9, install.m_processorArchitecture) << c.function << "/" << c.module;
        EXPECT_EQ(1, install.m_is64BitOs);
        EXPECT_EQ(0, g_fakeCalls);
    }
}

TEST_F(Probe, ModuleLoadedForTheLookupIsFreed)
{
    GString name;
    ASSERT_EQ(1, install.LoadText(kModuleUnloaded, name));
    ASSERT_EQ(nullptr, GetModuleHandleW(name.WideText(0))) << "the library is already loaded";
    ASSERT_EQ(1, install.ProbeSystem(kFunctionMissing, kModuleUnloaded));
    EXPECT_EQ(9, install.m_processorArchitecture);
    EXPECT_EQ(nullptr, GetModuleHandleW(name.WideText(0)));

    HMODULE module = nullptr;
    EXPECT_EQ(nullptr, install.GetProcAddressById(kFunctionMissing, kModuleUnloaded, &module));
    ASSERT_NE(nullptr, module) << "the module is handed back for the caller to free";
    EXPECT_EQ(module, GetModuleHandleW(name.WideText(0)));
    EXPECT_TRUE(FreeLibrary(module));
    EXPECT_EQ(nullptr, GetModuleHandleW(name.WideText(0)));
}

TEST_F(Probe, FunctionLookupByIds)
{
    HMODULE module = nullptr;
    void* found = install.GetProcAddressById(kFunctionFake, kModuleSelf, &module);
    EXPECT_EQ(reinterpret_cast<void*>(&KbdFakeNativeSystemInfo), found);
    EXPECT_EQ(GetModuleHandleW(nullptr), module);
    if (module)
        FreeLibrary(module);

    // A handle passed in is used as it is, whatever the module id says.
    module = GetModuleHandleW(nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(&KbdFakeNativeSystemInfo),
              install.GetProcAddressById(kFunctionFake, kNoText, &module));

    module = nullptr;
    EXPECT_EQ(nullptr, install.GetProcAddressById(kFunctionFake, kModuleMissing, &module));
    EXPECT_EQ(nullptr, module);
    EXPECT_EQ(nullptr, install.LoadLibraryById(kNoText));
    EXPECT_EQ(nullptr, install.LoadLibraryById(kModuleMissing));
}

TEST_F(Probe, RunningInstanceIsFoundByTheFrameClass)
{
    EXPECT_EQ(1, install.ActivateRunningInstance()) << "no window yet";
    {
        TopWindow other(L"KbdSomeOtherClass", 1);
        ASSERT_NE(nullptr, other.m_window);
        EXPECT_EQ(1, install.ActivateRunningInstance());
    }
    {
        TopWindow hidden(kFrameClass, 0);
        ASSERT_NE(nullptr, hidden.m_window);
        EXPECT_EQ(0, install.ActivateRunningInstance());
    }
    TopWindow decoy(L"KbdDecoyClass", 1);
    TopWindow frame(kFrameClass, 1);
    ASSERT_NE(nullptr, frame.m_window);
    ASSERT_NE(nullptr, decoy.m_window);
    SetForegroundWindow(decoy.m_window);
    ASSERT_EQ(decoy.m_window, GetForegroundWindow());
    EXPECT_EQ(0, install.ActivateRunningInstance());
    EXPECT_EQ(frame.m_window, GetForegroundWindow());
}

TEST_F(Probe, AssociationMatchesTheUpperCasedProgramPath)
{
    struct Case
    {
        int association;
        int name;
        int expected;
        const char* why;
    } cases[] = {
        {301, 310, 1, "upper-case name in notepad's path"},
        {301, 313, 1, "the whole file name"},
        {301, 316, 1, "a folder of the path"},
        {301, 311, 0, "a lower-case name never matches"},
        {301, 312, 0, "mixed case never matches"},
        {301, 314, 0, "another program"},
        {300, 315, 1, "a file type instead of a class name"},
        {300, 310, 0, "the program of another type"},
        {302, 310, 0, "a type nothing opens"},
        {kNoText, 310, 0, "no type text"},
        {301, kNoText, 0, "no name text"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.expected, install.IsAssociatedWith(c.association, c.name)) << c.why;
}

// A program path longer than the first buffer of 2048 characters. Windows reports the size it
// needs with E_POINTER, Wine with ERROR_INSUFFICIENT_BUFFER, and Wine then writes as many
// characters as the count it was given: a second call that passed on that count wrote past the
// buffer. (Wine answers a path this long with a wrong text, so the match itself is not checked.)
TEST_F(Probe, AssociationWithAProgramPathLongerThanTheBuffer)
{
    std::wstring folder = L"C:\\";
    for (int i = 0; i < 30; ++i)
        folder += std::wstring(80, static_cast<wchar_t>(L'a' + i % 26)) + L"\\";
    ASSERT_GT(folder.size(), 2048u);
    // Folders this deep need the long-path form.
    for (size_t at = folder.find(L'\\', 3); at != std::wstring::npos;
         at = folder.find(L'\\', at + 1))
        CreateDirectoryW((L"\\\\?\\" + folder.substr(0, at)).c_str(), nullptr);
    const std::wstring program = folder + L"LongViewer.exe";
    HANDLE file = CreateFileW((L"\\\\?\\" + program).c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);

    const std::wstring command = L"\"" + program + L"\" \"%1\"";
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueW(HKEY_CLASSES_ROOT, L".kbdlong", REG_SZ, L"kbdlongfile", 0));
    ASSERT_EQ(ERROR_SUCCESS, RegSetValueW(HKEY_CLASSES_ROOT, L"kbdlongfile\\shell\\open\\command",
                                          REG_SZ, command.c_str(), 0));
    for (int i = 0; i < 3; ++i)
    {
        EXPECT_EQ(0, install.IsAssociatedWith(303, 310));
        EXPECT_EQ(1, EveryHeapIsSound());
    }
}

TEST_F(Probe, WineUserIsAnAdministrator)
{
    EXPECT_EQ(1, install.IsUserAdmin());
}

TEST(ProbeWithoutWizard, ShowMessageShowsNothing)
{
    CInstall install;
    EXPECT_EQ(0, install.ShowMessage(124, MB_ICONWARNING));
    EXPECT_EQ(0, install.ShowMessage(123, MB_OK));
}

// The Windows version and locale startup_versions.sh gave this prefix: the probe's code, the
// refusal of versions without a 64-bit library, and what Run fixes before the wizard.
TEST_F(Probe, StartupVersion)
{
    const std::wstring code = Environment(L"KBD_EXPECT_VERSION_CODE");
    const std::wstring supported = Environment(L"KBD_EXPECT_SUPPORTED");
    const std::wstring language = Environment(L"KBD_EXPECT_UI_LANGUAGE");
    if (code.empty() || supported.empty() || language.empty())
        GTEST_SKIP() << "run by startup_versions.sh with a chosen Windows version";

    ASSERT_EQ(1, install.ProbeSystem(kFunctionNativeInfo, kModuleKernel));
    EXPECT_EQ(_wtoi(code.c_str()), install.m_osVersionCode);
    EXPECT_EQ(9, install.m_processorArchitecture);
    EXPECT_EQ(1, install.m_is64BitOs);
    EXPECT_EQ(_wtoi(supported.c_str()), install.IsSupportedSystem());

    const int uiLanguage = _wtoi(language.c_str());
    const wchar_t* refusal =
        uiLanguage ? L"Ten system nie jest obs\u0142ugiwany." : L"This system is not supported.";
    if (!install.IsSupportedSystem())
    {
        // Refused: message 124 in the user's interface language, and Run ends.
        BoxWatch watch;
        HANDLE thread = CreateThread(nullptr, 0, WatchForBox, &watch, 0, nullptr);
        ASSERT_NE(nullptr, thread);
        EXPECT_EQ(0, install.Run());
        WaitForSingleObject(thread, 40000);
        CloseHandle(thread);
        EXPECT_EQ(1, watch.seen);
        EXPECT_EQ(std::wstring(refusal), watch.text);
        EXPECT_EQ(uiLanguage, install.m_uiLanguage);
        return;
    }

    // Accepted: with another copy's window present Run stops before the wizard, without a
    // message, after fixing the interface language and the layout language.
    TopWindow frame(kFrameClass, 1);
    ASSERT_NE(nullptr, frame.m_window);
    EXPECT_EQ(0, install.Run());
    EXPECT_EQ(uiLanguage, install.m_uiLanguage);
    const uint16_t expectedLanguage =
        install.m_osVersionCode >= 60 ? GetUserDefaultLangID() : 0x0C1A;  // string 86
    EXPECT_EQ(expectedLanguage, install.m_layoutLanguageId);
    EXPECT_EQ(uiLanguage ? 0x0415 : 0x0409, GetUserDefaultLangID());
    EXPECT_EQ(1, install.m_setAsDefault);
    EXPECT_EQ(nullptr, FindWindowW(L"#32770", kCaption));
}
