// Operations whose behaviour is not built yet. Each does the least that keeps the start-up
// sequence honest: nothing is computed, read or written, and the result says so.
#include "core/Install.h"

#include <stdlib.h>

int CInstall::BuildPaths()
{
    return 0;
}

int CInstall::SpecialFolder(int, GString& out)
{
    out.Clear();
    return 0;
}

int CInstall::GetLayoutVariant()
{
    return m_layoutVariant;
}

int CInstall::SetLayoutVariant(int value)
{
    return value;
}

int CInstall::GetDecimalVariant()
{
    return m_decimalVariant;
}

int CInstall::SetDecimalVariant(int value)
{
    return value;
}

int CInstall::GetLayoutSetFlag()
{
    return m_layoutSetFlagB;
}

int CInstall::SetLayoutSetFlag(int value)
{
    return value;
}

int CInstall::SetModifyOnly(int value)
{
    return value;
}
