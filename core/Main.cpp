// The program's entry: one installer object through its phases.
#include <windows.h>
#include <objbase.h>
#include <stdlib.h>

#include "core/Install.h"

// The program is built without exceptions: allocation answers null instead of throwing, and
// every `new` result is tested (-fcheck-new).
void* operator new(size_t size)
{
    return malloc(size ? size : 1);
}

void* operator new[](size_t size)
{
    return malloc(size ? size : 1);
}

void operator delete(void* block) noexcept
{
    free(block);
}

void operator delete[](void* block) noexcept
{
    free(block);
}

void operator delete(void* block, size_t) noexcept
{
    free(block);
}

void operator delete[](void* block, size_t) noexcept
{
    free(block);
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int)
{
    CInstall install;
    CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (install.Init(instance) && install.Run())
    {
        install.Finish();
        CoUninitialize();
    }
    return 0;
}
