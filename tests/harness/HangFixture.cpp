// A program that never ends: shows a message box nobody answers.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int)
{
    MessageBoxW(nullptr, L"waiting forever", L"hang", MB_OK);
    for (;;)
        Sleep(1000);
}
