// Helpers for the text tests: a GString's text as standard strings, for readable expectations.
#pragma once

#include "text/GString.h"

#include <string>

inline std::string Narrow(const GString& s)
{
    return std::string(s.NarrowText(0), (size_t)s.length);
}

inline std::wstring Wide(const GString& s)
{
    return std::wstring(s.WideText(0), (size_t)s.length);
}

inline int Capacity(const GString& s)
{
    if (!s.buffer)
        return 0;
    int capacity = (s.allocated - 4) / (s.wide ? 2 : 1) - 1 - s.offset;
    return capacity < 0 ? 0 : capacity;
}

inline unsigned HeaderWord(const GString& s)
{
    const unsigned char* b = s.buffer;
    return b[0] | (b[1] << 8) | (b[2] << 16) | ((unsigned)b[3] << 24);
}
