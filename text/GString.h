// GString, the one string type, and the text functions beneath it.
//
// A GString holds its text narrow (bytes, UTF-8) or wide (16-bit units, UTF-16LE) in one owned
// heap block and can switch between the two in place. All lengths, counts and indexes are in
// units of the current mode; a negative count argument means "up to the first zero unit".
//
// Block layout (u = unit size: 1 narrow, 2 wide):
//
//   byte 0           header word, little-endian u32:
//                      bit 31    1 = narrow text, 0 = wide text
//                      bits 29-30 zero
//                      bits 0-28 size of the text in bytes (length, or 2 * length)
//                    written only when Reserve moves the text into a new block
//   byte 4           `offset` units dropped from the front (DropFront), no longer text
//   4 + offset*u     the `length` units of text
//   next unit        terminator, one zero unit
//   rest             spare room; the block is `allocated` bytes, a multiple of `blockSize`
//
// Capacity in units = (allocated - 4) / u - 1 - offset. Blocks only grow: by at least half the
// current length, in 64-byte steps. Stored string-table entries use the same header word
// (AssignStored).
//
// Operations answer 1 for done and 0 for failure (no memory, wrong mode, invalid UTF-8);
// searches answer an index or -1; comparisons -1, 0 or 1 (length first, then content).
#pragma once

#include <stdarg.h>
#include <wchar.h>

class GString
{
public:
    GString();
    GString(wchar_t ch, int count);
    virtual ~GString();

    // Storage.
    int Clear();
    int ClearAs(int wide);
    int Reserve(int total);
    int ReserveMore(int extra);
    int Compact();
    int Terminate();
    int SetLength(int length);
    int DropFront(int count);

    const char* NarrowText(int from = 0) const;
    const wchar_t* WideText(int from = 0) const;

    // Mode switch. A code page argument of 0 means UTF-8; any other value (callers pass -1)
    // means this string's own codePage.
    const wchar_t* MakeWide(int codePage = -1);
    const char* MakeNarrow(int codePage = -1);
    wchar_t* BeginWideWrite(int extra);
    char* BeginNarrowWrite(int extra);

    // Assignment.
    int AssignWide(const wchar_t* text, int count = -1);
    int AssignNarrow(const char* text, int count = -1, int codePage = -1);
    int AssignNarrowAsWide(const char* text, int count = -1, int codePage = -1);
    int Assign(const GString& other);
    int AssignAsWide(const GString* other);
    int AssignAsNarrow(const GString* other);
    int AssignStored(const void* entry);

    // Appending.
    int AppendWideDirect(const wchar_t* text, int count = -1);
    int AppendNarrowDirect(const char* text, int count = -1, int codePage = -1);
    int AppendWide(const wchar_t* text, int count = -1);
    int AppendNarrow(const char* text, int count = -1, int codePage = -1);
    int Append(const GString& other);
    int AppendChar(char ch, int count = 1);
    int AppendWideChar(wchar_t ch, int count = 1);
    int AppendWideUnit(wchar_t ch);
    int AppendNewLine();
    int AppendUnlessEndsWith(const wchar_t* text, int count = -1);
    int AppendUnlessEndsWith(const char* text, int count = -1);
    int AppendPathWide(const wchar_t* part, int count = -1);
    int AppendPathNarrow(const char* part, int count = -1);

    // Search, comparison and case mapping.
    int FindWide(const wchar_t* needle, int from = 0, int count = -1);
    int FindNarrow(const char* needle, int from = 0, int count = -1);
    int ReverseFind(wchar_t ch, int lowest = 0);
    int CompareWide(const wchar_t* text, int count = -1);
    int CompareNarrow(const char* text, int count = -1);
    int ToUpper();

    // Formatter and debug output (text/Format.cpp, text/FormatFloat.cpp). The receiver must be
    // wide; the flags and conversions are listed in text/FormatInternal.h. DebugOut sends the
    // text to the debugger in lines of dumpLineLength characters.
    int AppendFormatV(const wchar_t* format, va_list args);
    void DebugOut(int maxChars);

    // Members, in this order. Other code reads `length` and `wide`; everything else is changed
    // only through the operations above.
    unsigned char* buffer;
    int length;
    int offset;
    int allocated;
    int blockSize;
    int codePage;
    int wide;
    unsigned int formatOptions;
    int dumpLineLength;
    GString* scratch;

private:
    friend class CFormatter;

    GString(const GString&) = delete;
    GString& operator=(const GString&) = delete;

    int UnitSize() const { return wide ? 2 : 1; }
    unsigned char* TextBytes() const;
    int Capacity() const;
    int Room() const;
    GString* PrepareScratch();
    int AppendUtf16AsUtf8(const wchar_t* text, int count);
    int AppendUtf8AsUtf16(const char* text, int count);
};

// Empties `target`, makes it wide and appends the expansion of `format`; 1, or 0 on failure.
int Format(GString* target, const wchar_t* format, ...);

// Free functions beneath the search and comparison operations. Lengths are explicit; zero units inside a range are data.
int TextLength(const char* text);
int WideLength(const wchar_t* text);
int FindBytes(const unsigned char* hay, const unsigned char* needle, int hayLength,
              int needleLength, int from);
int FindBytesBackward(const unsigned char* hay, const unsigned char* needle, int hayLength,
                      int needleLength, int lowest);
int FindByteBackward(const unsigned char* text, unsigned char value, int length, int lowest);
int FindUnitBackward(const wchar_t* text, wchar_t value, int length, int lowest);
int FindUnits(const wchar_t* hay, const wchar_t* needle, int hayLength, int needleLength,
              int from);
int CompareBytes(const unsigned char* a, const unsigned char* b, int aLength, int bLength);
int CompareUnits(const wchar_t* a, const wchar_t* b, int aLength, int bLength);
wchar_t UpperCaseUnit(wchar_t unit);
