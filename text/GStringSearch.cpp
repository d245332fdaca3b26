// Searching and comparing of GString texts and of raw ranges of bytes and 16-bit units.
#include "text/GString.h"

namespace {

// The plain scan behind FindBytes and FindUnits: lowest start >= from, or -1.
template <typename Unit>
int FindForward(const Unit* hay, const Unit* needle, int hayLength, int needleLength, int from)
{
    if (!hay || !needle || hayLength <= 0 || needleLength <= 0 || from < 0
        || (long long)from + needleLength > hayLength)
        return -1;
    for (int p = from; p <= hayLength - needleLength; p++) {
        int i = 0;
        while (i < needleLength && hay[p + i] == needle[i])
            i++;
        if (i == needleLength)
            return p;
    }
    return -1;
}

template <typename Unit>
int FindBackward(const Unit* text, Unit value, int length, int lowest)
{
    if (!text || length <= 0 || lowest < 0 || lowest >= length)
        return -1;
    for (int i = length - 1; i >= lowest; i--) {
        if (text[i] == value)
            return i;
    }
    return -1;
}

// Length first, then content as unsigned units.
template <typename Unit>
int CompareRanges(const Unit* a, const Unit* b, int aLength, int bLength)
{
    bool aEmpty = !a || aLength <= 0;
    bool bEmpty = !b || bLength <= 0;
    if (aEmpty || bEmpty)
        return aEmpty == bEmpty ? 0 : (aEmpty ? -1 : 1);
    if (aLength != bLength)
        return aLength < bLength ? -1 : 1;
    for (int i = 0; i < aLength; i++) {
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    }
    return 0;
}

} // namespace

int TextLength(const char* text)
{
    int n = 0;
    if (text) {
        while (text[n])
            n++;
    }
    return n;
}

int WideLength(const wchar_t* text)
{
    int n = 0;
    if (text) {
        while (text[n])
            n++;
    }
    return n;
}

int FindBytes(const unsigned char* hay, const unsigned char* needle, int hayLength,
              int needleLength, int from)
{
    return FindForward(hay, needle, hayLength, needleLength, from);
}

int FindBytesBackward(const unsigned char* hay, const unsigned char* needle, int hayLength,
                      int needleLength, int lowest)
{
    if (!hay || !needle || hayLength <= 0 || needleLength <= 0 || lowest < 0
        || (long long)lowest + needleLength > hayLength)
        return -1;
    for (int p = hayLength - needleLength; p >= lowest; p--) {
        int i = 0;
        while (i < needleLength && hay[p + i] == needle[i])
            i++;
        if (i == needleLength)
            return p;
    }
    return -1;
}

int FindByteBackward(const unsigned char* text, unsigned char value, int length, int lowest)
{
    return FindBackward(text, value, length, lowest);
}

int FindUnitBackward(const wchar_t* text, wchar_t value, int length, int lowest)
{
    return FindBackward(text, value, length, lowest);
}

int FindUnits(const wchar_t* hay, const wchar_t* needle, int hayLength, int needleLength,
              int from)
{
    if (!hay || hayLength < 0)
        hayLength = WideLength(hay);
    if (!needle || needleLength < 0)
        needleLength = WideLength(needle);
    return FindForward(hay, needle, hayLength, needleLength, from);
}

int CompareBytes(const unsigned char* a, const unsigned char* b, int aLength, int bLength)
{
    return CompareRanges(a, b, aLength, bLength);
}

int CompareUnits(const wchar_t* a, const wchar_t* b, int aLength, int bLength)
{
    return CompareRanges(a, b, aLength, bLength);
}

int GString::FindWide(const wchar_t* needle, int from, int count)
{
    if (!needle || length == 0 || from < 0 || from >= length)
        return -1;
    if (wide)
        return FindUnits(WideText(), needle, length, count, from);
    GString* other = PrepareScratch();
    if (!other)
        return -1;
    other->ClearAs(0);
    if (!other->AppendWide(needle, count))
        return -1;
    return FindBytes(TextBytes(), (const unsigned char*)other->NarrowText(), length,
                     other->length, from);
}

int GString::FindNarrow(const char* needle, int from, int count)
{
    if (!needle || length == 0 || from < 0 || from >= length)
        return -1;
    if (!wide) {
        if (count < 0)
            count = TextLength(needle);
        return FindBytes(TextBytes(), (const unsigned char*)needle, length, count, from);
    }
    GString* other = PrepareScratch();
    if (!other)
        return -1;
    other->ClearAs(1);
    if (!other->AppendNarrow(needle, count, -1))
        return -1;
    return FindUnits(WideText(), other->WideText(), length, other->length, from);
}

int GString::ReverseFind(wchar_t ch, int lowest)
{
    if (wide)
        return FindUnitBackward(WideText(), ch, length, lowest);
    if (ch < 0x80)
        return FindByteBackward(TextBytes(), (unsigned char)ch, length, lowest);
    GString* other = PrepareScratch();
    if (!other)
        return -1;
    other->ClearAs(0);
    if (!other->AppendWide(&ch, 1))
        return -1;
    return FindBytesBackward(TextBytes(), (const unsigned char*)other->NarrowText(), length,
                             other->length, lowest);
}

int GString::CompareWide(const wchar_t* text, int count)
{
    if (!text)
        count = 0;
    else if (count < 0)
        count = WideLength(text);
    if (length == 0)
        return count == 0 ? 0 : -1;
    if (count == 0)
        return 1;
    if (wide)
        return CompareUnits(WideText(), text, length, count);
    GString* other = PrepareScratch();
    if (!other)
        return 0;
    other->ClearAs(0);
    if (!other->AppendWide(text, count))
        return 0;
    return CompareBytes(TextBytes(), (const unsigned char*)other->NarrowText(), length,
                        other->length);
}

int GString::CompareNarrow(const char* text, int count)
{
    if (!text)
        count = 0;
    else if (count < 0)
        count = TextLength(text);
    if (length == 0)
        return count == 0 ? 0 : -1;
    if (count == 0)
        return 1;
    if (!wide)
        return CompareBytes(TextBytes(), (const unsigned char*)text, length, count);
    GString* other = PrepareScratch();
    if (!other)
        return 0;
    other->ClearAs(1);
    if (!other->AppendNarrow(text, count, -1))
        return 0;
    return CompareUnits(WideText(), other->WideText(), length, other->length);
}

int GString::ToUpper()
{
    if (wide) {
        wchar_t* text = (wchar_t*)TextBytes();
        for (int i = 0; i < length; i++)
            text[i] = UpperCaseUnit(text[i]);
        return 1;
    }
    GString* other = PrepareScratch();
    if (!other)
        return 0;
    other->ClearAs(1);
    if (!other->AppendNarrow(NarrowText(), length, -1))
        return 0;
    other->ToUpper();
    return AssignAsNarrow(other);
}
