// Facts about the Windows build and the Wine prefix that the rest of the program relies on.
#include <windows.h>
#include <gtest/gtest.h>

TEST(HarnessFacts, WideCharactersAreSixteenBits)
{
    EXPECT_EQ(2u, sizeof(wchar_t));
    EXPECT_EQ(sizeof(void*), sizeof(LONG_PTR));
}

TEST(HarnessFacts, PrefixReportsA64BitSystem)
{
    typedef void(WINAPI * NativeInfoFn)(LPSYSTEM_INFO);
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    ASSERT_NE(nullptr, kernel);
    NativeInfoFn native = reinterpret_cast<NativeInfoFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetNativeSystemInfo")));
    ASSERT_NE(nullptr, native);
    SYSTEM_INFO info;
    ZeroMemory(&info, sizeof(info));
    native(&info);
    EXPECT_EQ(9, info.wProcessorArchitecture);   // AMD64

    wchar_t wow[MAX_PATH];
    typedef UINT(WINAPI * Wow64DirFn)(LPWSTR, UINT);
    Wow64DirFn wowDir = reinterpret_cast<Wow64DirFn>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "GetSystemWow64DirectoryW")));
    ASSERT_NE(nullptr, wowDir);
    ASSERT_GT(wowDir(wow, MAX_PATH), 0u);
    EXPECT_EQ(0, lstrcmpiW(L"C:\\windows\\syswow64", wow));
}

static LRESULT CALLBACK FactsWndProc(HWND wnd, UINT msg, WPARAM wp, LPARAM lp)
{
    return DefWindowProcW(wnd, msg, wp, lp);
}

TEST(HarnessFacts, WindowCanBeCreatedOnTheHarnessDisplay)
{
    WNDCLASSW wc;
    ZeroMemory(&wc, sizeof(wc));
    wc.lpfnWndProc = FactsWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"HarnessFactsWindow";
    ASSERT_NE(0, RegisterClassW(&wc));
    HWND wnd = CreateWindowExW(0, wc.lpszClassName, L"facts", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                               10, 10, 200, 100, nullptr, nullptr, wc.hInstance, nullptr);
    ASSERT_NE(nullptr, wnd);
    RECT rc;
    ASSERT_TRUE(GetClientRect(wnd, &rc));
    EXPECT_GT(rc.right, 0);
    EXPECT_TRUE(DestroyWindow(wnd));
}

TEST(HarnessFacts, PrefixIsFreshAndWritable)
{
    // Each suite owns its prefix: a key written here cannot have been left by another suite.
    HKEY key = nullptr;
    DWORD disposition = 0;
    ASSERT_EQ(ERROR_SUCCESS, RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\KbdHarnessProbe", 0, nullptr, 0,
                                             KEY_ALL_ACCESS, nullptr, &key, &disposition));
    EXPECT_EQ(static_cast<DWORD>(REG_CREATED_NEW_KEY), disposition);
    RegCloseKey(key);
}
