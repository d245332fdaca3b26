// A Windows-side driver of the wizard, run by the test scripts under Wine: it finds the frame
// (by its window class) and the page shown in it, and works the page's controls by id the way a
// person would, from another process. Texts are read with SendMessageTimeoutW(WM_GETTEXT):
// GetWindowTextW on another process's control can answer a stale text.
//
// usage: ui_driver CLASS COMMAND [ARGS...]; every command waits at most its time limit.
//   page PAGE            wait until the page shown is PAGE (welcome, licence, setup, expert1,
//                        expert2, done)
//   click ID             post BM_CLICK to control ID of the page
//   text ID              print the text of control ID
//   state ID             print "visible enabled checked" as three 0/1 digits
//   items ID             print the items of list ID, one a line, the selected one marked "*"
//   choose ID INDEX      select item INDEX of list ID and notify the page as a click would
//   dropdown ID          tell the page that list ID was opened
//   close                post WM_CLOSE to the frame (the title-bar button)
//   post MESSAGE         post the message number MESSAGE to the frame (wParam = lParam = 0)
//   answer BUTTON        wait for a message box of the wizard, print its text and press BUTTON
//                        (yes, no or ok)
//   nobox                fail if a message box of the wizard is open
//   gone                 wait until the frame has gone
//   frame                print the frame's client size and whether it is the foreground window
//   focus-away           activate a window of the driver's own, so the wizard is not in front
//   start EXE            start EXE and wait until it ends; print its exit code
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

namespace
{
const DWORD kWaitMs = 30000;
const DWORD kStepMs = 50;
const UINT kSendTimeoutMs = 3000;

const wchar_t* g_class = L"";

struct PageSignature
{
    const wchar_t* name;
    int controlId;
};

// A control that only that page's template has.
const PageSignature kPages[] = {{L"welcome", 2002}, {L"licence", 306}, {L"setup", 1202},
                                {L"expert1", 1401}, {L"expert2", 1501}, {L"done", 1204}};

int Fail(const char* what)
{
    fprintf(stderr, "driver: %s\n", what);
    return 1;
}

HWND Frame()
{
    return FindWindowW(g_class, nullptr);
}

HWND Page()
{
    HWND frame = Frame();
    return frame ? FindWindowExW(frame, nullptr, L"#32770", nullptr) : nullptr;
}

const wchar_t* PageName(HWND page)
{
    if (!page)
        return L"none";
    for (const PageSignature& signature : kPages)
        if (GetDlgItem(page, signature.controlId))
            return signature.name;
    return L"unknown";
}

HWND Control(int id)
{
    HWND page = Page();
    return page ? GetDlgItem(page, id) : nullptr;
}

int ReadText(HWND window, wchar_t* out, int capacity)
{
    out[0] = 0;
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(window, WM_GETTEXT, capacity, reinterpret_cast<LPARAM>(out),
                             SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied))
        return 0;
    out[capacity - 1] = 0;
    return 1;
}

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &result))
        return -1;
    return static_cast<LRESULT>(result);
}

void PrintUtf8(const wchar_t* text)
{
    char buffer[8192];
    int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, buffer, sizeof(buffer), nullptr, nullptr);
    if (n <= 0)
        buffer[0] = 0;
    fputs(buffer, stdout);
    fputs("\n", stdout);
}

struct BoxSearch
{
    HWND frame;
    HWND box;
};

BOOL CALLBACK FindBox(HWND window, LPARAM context)
{
    BoxSearch* search = reinterpret_cast<BoxSearch*>(context);
    wchar_t className[64];
    if (!GetClassNameW(window, className, 64) || wcscmp(className, L"#32770") != 0)
        return TRUE;
    if (!IsWindowVisible(window))
        return TRUE;
    DWORD boxProcess = 0, frameProcess = 0;
    GetWindowThreadProcessId(window, &boxProcess);
    GetWindowThreadProcessId(search->frame, &frameProcess);
    if (boxProcess != frameProcess)
        return TRUE;
    search->box = window;
    return FALSE;
}

HWND MessageBoxWindow()
{
    BoxSearch search = {Frame(), nullptr};
    if (!search.frame)
        return nullptr;
    EnumWindows(FindBox, reinterpret_cast<LPARAM>(&search));
    return search.box;
}

template <class Condition> int WaitFor(Condition condition)
{
    for (DWORD waited = 0; waited <= kWaitMs; waited += kStepMs)
    {
        if (condition())
            return 1;
        Sleep(kStepMs);
    }
    return 0;
}

int Number(const wchar_t* text)
{
    return static_cast<int>(wcstol(text, nullptr, 0));
}

LRESULT CALLBACK PlainProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcW(window, message, wParam, lParam);
}
}

int wmain(int argc, wchar_t** argv)
{
    if (argc < 3)
        return Fail("usage: ui_driver CLASS COMMAND [ARGS...]");
    g_class = argv[1];
    const wchar_t* command = argv[2];
    const wchar_t* arg1 = argc > 3 ? argv[3] : nullptr;
    const wchar_t* arg2 = argc > 4 ? argv[4] : nullptr;

    if (!wcscmp(command, L"gone"))
        return WaitFor([] { return Frame() == nullptr; }) ? 0 : Fail("the frame is still there");
    if (!wcscmp(command, L"focus-away"))
    {
        WNDCLASSW plain = {};
        plain.lpfnWndProc = PlainProc;
        plain.hInstance = GetModuleHandleW(nullptr);
        plain.lpszClassName = L"KbdDriverWindow";
        RegisterClassW(&plain);
        HWND own = CreateWindowExW(0, L"KbdDriverWindow", L"driver", WS_OVERLAPPEDWINDOW | WS_VISIBLE,
                                   0, 0, 200, 100, nullptr, nullptr, plain.hInstance, nullptr);
        SetForegroundWindow(own);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
        // The window stays while the driver runs the next command of this invocation.
        if (arg1 && !wcscmp(arg1, L"start") && arg2)
        {
            printf("foreground-before %d\n", GetForegroundWindow() == Frame() ? 1 : 0);
            STARTUPINFOW startup = {};
            startup.cb = sizeof(startup);
            PROCESS_INFORMATION process = {};
            wchar_t line[1024];
            swprintf(line, 1024, L"\"%ls\"", arg2);
            if (!CreateProcessW(arg2, line, nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                &startup, &process))
                return Fail("the program could not be started");
            if (WaitForSingleObject(process.hProcess, kWaitMs) != WAIT_OBJECT_0)
                return Fail("the second copy did not end");
            DWORD code = 1;
            GetExitCodeProcess(process.hProcess, &code);
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            printf("exit %lu\n", code);
            int front = WaitFor([] { return GetForegroundWindow() == Frame(); });
            printf("foreground-after %d\n", front);
        }
        DestroyWindow(own);
        return 0;
    }
    if (!WaitFor([] { return Frame() != nullptr; }))
        return Fail("no frame window");

    if (!wcscmp(command, L"page") && arg1)
    {
        if (!WaitFor([arg1] { return wcscmp(PageName(Page()), arg1) == 0; }))
        {
            fprintf(stderr, "driver: the page shown is ");
            fflush(stderr);
            PrintUtf8(PageName(Page()));
            return 1;
        }
        return 0;
    }
    if (!wcscmp(command, L"post") && arg1)
        return PostMessageW(Frame(), static_cast<UINT>(Number(arg1)), 0, 0) ? 0
                                                                          : Fail("not posted");
    if (!wcscmp(command, L"close"))
        return PostMessageW(Frame(), WM_CLOSE, 0, 0) ? 0 : Fail("WM_CLOSE not posted");
    if (!wcscmp(command, L"frame"))
    {
        RECT client;
        GetClientRect(Frame(), &client);
        RECT window;
        GetWindowRect(Frame(), &window);
        printf("client %ld %ld window %ld %ld %ld %ld foreground %d\n", client.right, client.bottom,
               window.left, window.top, window.right, window.bottom,
               GetForegroundWindow() == Frame() ? 1 : 0);
        return 0;
    }
    if (!wcscmp(command, L"answer") && arg1)
    {
        HWND box = nullptr;
        if (!WaitFor([&box] { return (box = MessageBoxWindow()) != nullptr; }))
            return Fail("no message box");
        wchar_t text[4096];
        ReadText(GetDlgItem(box, 0xFFFF), text, 4096);
        PrintUtf8(text);
        int button = !wcscmp(arg1, L"yes") ? IDYES : !wcscmp(arg1, L"no") ? IDNO : IDOK;
        HWND control = GetDlgItem(box, button);
        if (!control)
            return Fail("the message box lacks that button");
        PostMessageW(control, BM_CLICK, 0, 0);
        return WaitFor([box] { return !IsWindow(box); }) ? 0 : Fail("the message box stayed");
    }
    if (!wcscmp(command, L"nobox"))
    {
        Sleep(300);
        return MessageBoxWindow() ? Fail("a message box is open") : 0;
    }

    if (!arg1)
        return Fail("the command needs a control id");
    int id = Number(arg1);
    HWND control = nullptr;
    if (!WaitFor([&control, id] { return (control = Control(id)) != nullptr; }))
        return Fail("no such control on the page");

    if (!wcscmp(command, L"click"))
        return PostMessageW(control, BM_CLICK, 0, 0) ? 0 : Fail("BM_CLICK not posted");
    if (!wcscmp(command, L"text"))
    {
        wchar_t text[16384];
        if (!ReadText(control, text, 16384))
            return Fail("WM_GETTEXT timed out");
        PrintUtf8(text);
        return 0;
    }
    if (!wcscmp(command, L"state"))
    {
        LRESULT check = Send(control, BM_GETCHECK, 0, 0);
        printf("%d%d%d\n", IsWindowVisible(control) ? 1 : 0, IsWindowEnabled(control) ? 1 : 0,
               check == BST_CHECKED ? 1 : 0);
        return 0;
    }
    if (!wcscmp(command, L"items"))
    {
        LRESULT count = Send(control, CB_GETCOUNT, 0, 0);
        LRESULT selected = Send(control, CB_GETCURSEL, 0, 0);
        for (LRESULT i = 0; i < count; ++i)
        {
            wchar_t text[1024] = {0};
            LRESULT length = Send(control, CB_GETLBTEXTLEN, i, 0);
            if (length >= 0 && length < 1024)
                Send(control, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            LRESULT data = Send(control, CB_GETITEMDATA, i, 0);
            printf("%s%#lx ", i == selected ? "*" : "", static_cast<unsigned long>(data));
            fflush(stdout);
            PrintUtf8(text);
        }
        return 0;
    }
    if (!wcscmp(command, L"choose") && arg2)
    {
        int index = Number(arg2);
        if (Send(control, CB_SETCURSEL, index, 0) != index)
            return Fail("no such item");
        // The notifications a click on the item sends, in the order the list sends them.
        HWND page = GetParent(control);
        PostMessageW(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELENDOK),
                     reinterpret_cast<LPARAM>(control));
        PostMessageW(page, WM_COMMAND, MAKEWPARAM(id, CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(control));
        return 0;
    }
    if (!wcscmp(command, L"dropdown"))
    {
        Send(GetParent(control), WM_COMMAND, MAKEWPARAM(id, CBN_DROPDOWN),
             reinterpret_cast<LPARAM>(control));
        return 0;
    }
    return Fail("unknown command");
}
