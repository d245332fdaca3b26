/* Wrong on purpose: console subsystem, a forbidden library, a function newer than Windows 2000. */
#include <winsock2.h>
#include <windows.h>

int main(void)
{
    SYSTEM_INFO info;
    GetNativeSystemInfo(&info);
    return (int)info.wProcessorArchitecture + (int)htons(1);
}
