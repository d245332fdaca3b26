// Operations whose behaviour is not built yet. Each does the least that keeps the start-up
// sequence honest: nothing is computed, read or written, and the result says so.
#include "core/Install.h"

#include <stdlib.h>

void CInstall::ReadInstalledState()
{
}

int CInstall::WriteFinalValue()
{
    return 0;
}

const KeyEntry* CInstall::FindDefaultKey(uint16_t)
{
    return nullptr;
}

KeyEntry* CInstall::FindKey(uint16_t)
{
    return nullptr;
}

int CInstall::NormalizeKeys()
{
    return 0;
}

int CInstall::ApplyKeyAssignments(unsigned char* list, int)
{
    free(list);
    return 0;
}

unsigned char* CInstall::ExportKeyAssignments(int* length)
{
    if (length)
        *length = 0;
    return nullptr;
}

int CInstall::ReadScancodeMap()
{
    return 0;
}
