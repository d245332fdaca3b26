// The range rules of the upper-case mapping, shared by UpperCaseUnit and the generator of its
// table (UpperCaseTableGen.cpp): the table holds exactly the pairs these rules leave open.
#pragma once

// The upper-case form of v by rule, or -1 when the table decides.
inline int UpperCaseByRule(unsigned v)
{
    if (v < 0x61)
        return (int)v;
    if (v <= 0x7A)
        return (int)v - 0x20;
    if (v <= 0xDF)
        return (int)v;
    if (v <= 0xF6)
        return (int)v - 0x20;
    if ((v >= 0x430 && v <= 0x44F) || (v >= 0xFF41 && v <= 0xFF5A))
        return (int)v - 0x20;
    if (v & 1) {
        // Blocks where each capital is directly followed by its small letter.
        static const unsigned short alternating[][2] = {
            { 0x0101, 0x012F }, { 0x014B, 0x0177 }, { 0x01F9, 0x021F }, { 0x048B, 0x04BF },
            { 0x04D1, 0x0525 }, { 0x1E01, 0x1E95 }, { 0x1EA1, 0x1EFF }, { 0x2C81, 0x2CE3 },
            { 0xA733, 0xA76F },
        };
        for (const auto& range : alternating) {
            if (v >= range[0] && v <= range[1])
                return (int)v - 1;
        }
    }
    if ((v >= 0x561 && v <= 0x586) || (v >= 0x2C30 && v <= 0x2C5E))
        return (int)v - 0x30;
    if (v >= 0x24D0 && v <= 0x24E9)
        return (int)v - 0x1A;
    if (v >= 0x2D00 && v <= 0x2D25)
        return (int)v - 0x1C60;
    // Stretches without any small letter outside the rules above.
    if ((v > 0x4CF && v < 0x1D79) || (v > 0x2184 && v < 0x2C61) || (v > 0x2CEE && v < 0xA641)
        || v > 0xA78C)
        return (int)v;
    return -1;
}
