// The formatter behind GString::AppendFormatV, shared by Format.cpp (parsing, integers, texts,
// bytes, addresses) and FormatFloat.cpp (doubles and scaled sizes).
//
// One CFormatter lives for one AppendFormatV call. For each conversion it holds the collected
// flag bits, the width (-1 when absent) and the precision (0 when absent: "the default").
#pragma once

#include "text/GString.h"

#include <stdarg.h>

// Flag bits of one conversion. The first group comes from the format text, the second from
// the conversion letter.
enum FormatFlag : unsigned
{
    kFlagPlus = 0x0001,     // '+'
    kFlagSpace = 0x0002,    // ' '
    kFlagLeft = 0x0004,     // '-', or a negative '*' width
    kFlagZero = 0x0008,     // '0'
    kFlagLong = 0x0010,     // 'l'
    kFlag64 = 0x0020,       // 'L' or 'll'
    kFlagShort = 0x0040,    // 'h'
    kFlagSigned = 0x0080,
    kFlagAlternate = 0x0100, // '#'
    kFlagEscape = 0x0200,   // '$'
    kFlagPointer = 0x0400,
    kFlagHex = 0x0800,
    kFlagOctal = 0x1000,
    kFlagBinary = 0x2000,
    kFlagUpper = 0x4000,
    kFlagGroup = 0x8000,    // grave accent
};

// GString::formatOptions bits.
enum FormatOption : unsigned
{
    kOptionThreeDigitExponent = 0x02,
    kOptionUpperHexPrefix = 0x04,
    kOptionMicroAsU = 0x08,
};

// A narrow text of bounded size, built on the stack before it is appended.
class CNarrowText
{
public:
    enum { kCapacity = 1200 };

    CNarrowText() : m_length(0) {}
    void Put(char ch);
    void Put(const char* text, int count);
    void Repeat(char ch, int count);
    const char* Text() const { return m_text; }
    int Length() const { return m_length; }

private:
    char m_text[kCapacity];
    int m_length;
};

class CFormatter
{
public:
    CFormatter(GString* out, va_list* args) : m_out(out), m_args(args) {}

    int Run(const wchar_t* format);

    // Doubles and scaled sizes (FormatFloat.cpp).
    int FormatFloat();
    int FormatScaled();

private:
    int Convert();
    int FormatInteger();
    int FormatText();
    int FormatCharacter();
    int FormatBytes();
    int FormatAddress();
    int FormatIdentifier();

    int FetchInt() { return va_arg(*m_args, int); }
    long long FetchInt64() { return va_arg(*m_args, long long); }
    // The next integer argument (64-bit with kFlag64) as a magnitude; *negative is set only for a
    // signed conversion of a negative value.
    unsigned long long FetchMagnitude(int* negative)
    {
        if (m_flags & kFlag64) {
            long long value = FetchInt64();
            *negative = (m_flags & kFlagSigned) && value < 0;
            return *negative ? 0 - (unsigned long long)value : (unsigned long long)value;
        }
        int value = FetchInt();
        *negative = (m_flags & kFlagSigned) && value < 0;
        return *negative ? 0 - (unsigned long long)(long long)value : (unsigned)value;
    }
    double FetchDouble() { return va_arg(*m_args, double); }
    const void* FetchPointer() { return va_arg(*m_args, const void*); }

    int Padding(int textLength) const;
    int PadLeft(int padding);
    int PadRight(int padding);
    int WritePaddedWide(const wchar_t* text, int count);
    int WritePaddedNarrow(const char* text, int count);
    int WriteSpecial(const char* text);
    int WriteNumber(char sign, const char* prefix, const CNarrowText& body);
    char SignCharacter(int negative) const;
    int WriteExponent(CNarrowText* text, char letter, int exponent) const;

    GString* m_out;
    va_list* m_args;
    unsigned m_flags;
    int m_width;
    int m_precision;
    wchar_t m_letter;
};
