// The formatter: format parsing, padding, the integer, text, character, byte-dump, address and
// identifier conversions, and DebugOut. Doubles and scaled sizes are in FormatFloat.cpp.
#include "text/FormatInternal.h"

#include <string.h>
#include <windows.h>

namespace {

const wchar_t kNullWide[] = L"{null}";
const char kDigitsLower[] = "0123456789abcdef";
const char kDigitsUpper[] = "0123456789ABCDEF";

// Integer texts: at most 308 digits, a space per 3 digits, sign and prefix.
const int kIntegerText = 420;
const int kMaxPrecision = 308;

int ReadCount(const wchar_t** at)
{
    long long value = 0;
    const wchar_t* p = *at;
    for (int n = 0; n < 10 && *p >= L'0' && *p <= L'9'; n++, p++)
        value = value * 10 + (*p - L'0');
    *at = p;
    return value > 0x7FFFFFFF ? 0x7FFFFFFF : (int)value;
}

int IsDigit(wchar_t ch)
{
    return ch >= L'0' && ch <= L'9';
}

// Appends the escape {XX} of the low 8 bits of a unit or byte to a wide string.
int AppendEscape(GString* out, unsigned value, const char* digits)
{
    wchar_t escape[4] = {L'{', (wchar_t)digits[(value >> 4) & 15], (wchar_t)digits[value & 15], L'}'};
    return out->AppendWideDirect(escape, 4);
}

} // namespace

void CNarrowText::Put(char ch)
{
    if (m_length < kCapacity)
        m_text[m_length++] = ch;
}

void CNarrowText::Put(const char* text, int count)
{
    for (int i = 0; i < count; i++)
        Put(text[i]);
}

void CNarrowText::Repeat(char ch, int count)
{
    for (int i = 0; i < count; i++)
        Put(ch);
}

int GString::AppendFormatV(const wchar_t* format, va_list args)
{
    if (!format || !wide)
        return 0;
    va_list copy;
    va_copy(copy, args);
    CFormatter formatter(this, &copy);
    int result = formatter.Run(format);
    va_end(copy);
    return result;
}

int Format(GString* target, const wchar_t* format, ...)
{
    if (!target)
        return 0;
    target->ClearAs(1);
    va_list args;
    va_start(args, format);
    int result = target->AppendFormatV(format, args);
    va_end(args);
    return result;
}

int CFormatter::Run(const wchar_t* format)
{
    const int startLength = m_out->length;
    const wchar_t* p = format;
    for (;;) {
        const wchar_t* run = p;
        while (*p && *p != L'%')
            p++;
        if (p > run && !m_out->AppendWideDirect(run, (int)(p - run)))
            return 0;
        if (!*p)
            break;
        p++;
        if (!*p)
            break;
        if (*p == L'%') {
            if (!m_out->AppendWideDirect(L"%", 1))
                return 0;
            p++;
            continue;
        }

        m_flags = 0;
        for (;; p++) {
            unsigned bit = 0;
            switch (*p) {
            case L'-': bit = kFlagLeft; break;
            case L'+': bit = kFlagPlus; break;
            case L' ': bit = kFlagSpace; break;
            case L'0': bit = kFlagZero; break;
            case L'#': bit = kFlagAlternate; break;
            case L'$': bit = kFlagEscape; break;
            case L'`': bit = kFlagGroup; break;
            }
            if (!bit)
                break;
            m_flags |= bit;
        }

        m_width = -1;
        if (*p == L'*') {
            p++;
            int value = FetchInt();
            if (value < 0) {
                m_flags |= kFlagLeft;
                value = value == (int)0x80000000 ? 0x7FFFFFFF : -value;
            }
            m_width = value;
        } else if (IsDigit(*p)) {
            m_width = ReadCount(&p);
        }

        m_precision = 0;
        if (*p == L'.') {
            p++;
            if (*p == L'*') {
                p++;
                m_precision = FetchInt();
            } else if (IsDigit(*p)) {
                m_precision = ReadCount(&p);
            }
        }

        if (*p == L'L') {
            m_flags |= kFlag64;
            p++;
        } else if (*p == L'h') {
            m_flags |= kFlagShort;
            p++;
        } else if (*p == L'l') {
            m_flags |= kFlagLong;
            p++;
            if (*p == L'l') {
                m_flags |= kFlag64;
                p++;
            }
        }

        m_letter = *p;
        if (!m_letter)
            break;
        if (m_letter == L'n') {
            int* store = (int*)FetchPointer();
            if (store)
                *store = m_out->length - startLength;
            p++;
            continue;
        }
        int result = Convert();
        if (result < 0) {
            // Not a conversion: the character stays as ordinary text.
            if (!m_out->AppendWideDirect(p, 1))
                return 0;
        } else if (result == 0) {
            return 0;
        }
        p++;
    }
    m_out->Terminate();
    return 1;
}

// 1 done, 0 failed, -1 when the letter names no conversion.
int CFormatter::Convert()
{
    switch (m_letter) {
    case L'd': case L'i':
        m_flags |= kFlagSigned;
        return FormatInteger();
    case L'u':
        return FormatInteger();
    case L'x':
        m_flags |= kFlagHex;
        return FormatInteger();
    case L'X':
        m_flags |= kFlagHex | kFlagUpper;
        return FormatInteger();
    case L'o':
        m_flags |= kFlagOctal;
        return FormatInteger();
    case L'y':
        m_flags |= kFlagBinary;
        return FormatInteger();
    case L'p':
        m_flags |= kFlagPointer;
        return FormatInteger();
    case L'P':
        m_flags |= kFlagPointer | kFlagUpper;
        return FormatInteger();
    case L'c': case L'C':
        if (m_letter == L'C')
            m_flags |= kFlagUpper;
        return FormatCharacter();
    case L's': case L'S': case L'z': case L'Z':
        if (m_letter == L'S' || m_letter == L'Z')
            m_flags |= kFlagUpper;
        return FormatText();
    case L'b': case L'B':
        if (m_letter == L'B')
            m_flags |= kFlagUpper;
        return FormatBytes();
    case L'w': case L'W':
        if (m_letter == L'W')
            m_flags |= kFlagUpper;
        return (m_flags & kFlagShort) ? FormatIdentifier() : FormatAddress();
    case L'f': case L'e': case L'g': case L'a': case L'F':
    case L'E': case L'G': case L'A':
        if (m_letter == L'E' || m_letter == L'G' || m_letter == L'A')
            m_flags |= kFlagUpper;
        return FormatFloat();
    case L'U':
        return FormatScaled();
    case L'I':
        m_flags |= kFlagSigned;
        return FormatScaled();
    case L'N':
        return m_out->AppendNewLine();
    case L'T': case L't': case L'Y':
        FetchInt();
        return 0;
    }
    return -1;
}

int CFormatter::Padding(int textLength) const
{
    return m_width > textLength ? m_width - textLength : 0;
}

int CFormatter::PadLeft(int padding)
{
    if (m_flags & kFlagLeft)
        return 1;
    return m_out->AppendWideChar((m_flags & kFlagZero) ? L'0' : L' ', padding);
}

int CFormatter::PadRight(int padding)
{
    if (!(m_flags & kFlagLeft))
        return 1;
    return m_out->AppendWideChar(L' ', padding);
}

int CFormatter::WritePaddedWide(const wchar_t* text, int count)
{
    int padding = Padding(count);
    return PadLeft(padding) && m_out->AppendWideDirect(text, count) && PadRight(padding);
}

int CFormatter::WritePaddedNarrow(const char* text, int count)
{
    int padding = Padding(count);
    return PadLeft(padding) && m_out->AppendNarrow(text, count, 0) && PadRight(padding);
}

int CFormatter::FormatInteger()
{
    if (m_flags & kFlagPointer) {
        m_precision = 8;
        m_flags |= kFlagHex;
        m_flags &= ~(kFlagSigned | kFlag64 | kFlagLong | kFlagOctal | kFlagBinary);
    }
    int precision = m_precision;
    if (precision <= 0)
        precision = 1;
    if (precision > kMaxPrecision)
        precision = kMaxPrecision;

    int negative = 0;
    unsigned long long magnitude = FetchMagnitude(&negative);

    int shift = (m_flags & kFlagHex) ? 4 : (m_flags & kFlagOctal) ? 3 : (m_flags & kFlagBinary) ? 1 : 0;
    int base = shift ? 1 << shift : 10;
    int digits = 0;
    for (unsigned long long v = magnitude; v; v /= (unsigned)base)
        digits++;
    if (digits == 0)
        digits = 1;

    const char* prefix = "";
    if (m_flags & kFlagAlternate) {
        if (shift == 4)
            prefix = ((m_flags & kFlagUpper) && (m_out->formatOptions & kOptionUpperHexPrefix)) ? "0X" : "0x";
        else if (shift == 3)
            prefix = "0";
        else if (shift == 1)
            prefix = "0y";
    }
    int prefixLength = (int)strlen(prefix);

    char sign = 0;
    if (m_flags & kFlagSigned)
        sign = negative ? '-' : (m_flags & kFlagPlus) ? '+' : (m_flags & kFlagSpace) ? ' ' : 0;
    int signLength = sign ? 1 : 0;

    if (precision >= signLength + prefixLength + digits) {
        digits = precision;
        if (shift == 3)
            prefixLength = 0;
    }
    int group = (shift == 4 || shift == 1) ? 4 : 3;
    int spaces = (m_flags & kFlagGroup) ? (digits - 1) / group : 0;
    int total = signLength + prefixLength + digits + spaces;

    wchar_t text[kIntegerText];
    int n = 0;
    if ((m_flags & kFlagPointer) && magnitude == 0) {
        for (; n < total - 6; n++)
            text[n] = L' ';
        for (int i = 0; i < 6; i++)
            text[n++] = kNullWide[i];
        return WritePaddedWide(text, n);
    }
    if (sign)
        text[n++] = (wchar_t)sign;
    for (int i = 0; i < prefixLength; i++)
        text[n++] = (wchar_t)prefix[i];
    const char* set = (m_flags & kFlagUpper) ? kDigitsUpper : kDigitsLower;
    // Digits from the right, a space after every full group.
    int end = n + digits + spaces;
    int at = end;
    unsigned long long v = magnitude;
    for (int i = 0; i < digits; i++) {
        if (i && spaces && i % group == 0)
            text[--at] = L' ';
        text[--at] = (wchar_t)set[v % (unsigned)base];
        v /= (unsigned)base;
    }
    return WritePaddedWide(text, end);
}

int CFormatter::FormatText()
{
    const void* argument = FetchPointer();
    if (!argument)
        return WritePaddedWide(kNullWide, 6);
    int isZ = m_letter == L'z' || m_letter == L'Z';
    if (!isZ && (m_flags & kFlag64))
        return 1;

    const wchar_t* wideText = nullptr;
    const unsigned char* narrowText = nullptr;
    int known = -1; // units or bytes the argument is known to hold; -1: up to its zero unit
    if (!isZ) {
        if (m_flags & kFlagShort)
            narrowText = (const unsigned char*)argument;
        else
            wideText = (const wchar_t*)argument;
    } else if (m_flags & kFlagShort) {
        // A stored entry has no terminator: its header count bounds every read.
        unsigned header;
        memcpy(&header, argument, 4);
        known = (int)(header & 0x1FFFFFFF);
        if (header & 0x80000000u)
            narrowText = (const unsigned char*)argument + 4;
        else
            wideText = (const wchar_t*)((const unsigned char*)argument + 4);
    } else {
        const GString* text = (const GString*)argument;
        if (text == m_out->scratch)
            return 0; // emptied below before it could be read
        known = text->length;
        if (text->wide)
            wideText = text->WideText(0);
        else
            narrowText = (const unsigned char*)text->NarrowText(0);
    }

    const unsigned escapeAll = m_flags & kFlagEscape;
    const unsigned escapeControls = !escapeAll && (m_flags & kFlagAlternate);
    const char* set = (m_flags & kFlagUpper) ? kDigitsUpper : kDigitsLower;

    int count = 0;
    if (wideText) {
        if (m_precision < 0) {
            count = -m_precision;
            if (known >= 0 && count > known)
                count = known;
        } else {
            int limit = m_precision > 0 ? m_precision : 0x7FFFFFFF;
            if (known >= 0 && limit > known)
                limit = known;
            while (count < limit && wideText[count])
                count++;
        }
        // The receiver's own text moves when it grows: it is copied through the scratch.
        if (!escapeAll && !escapeControls && argument != m_out)
            return WritePaddedWide(wideText, count);
    } else {
        if (m_precision < 0) {
            count = -m_precision;
            if (known >= 0 && count > known)
                count = known;
        } else {
            int limit = known >= 0 ? known : 0x7FFFFFFF;
            int characters = 0;
            while (count < limit && narrowText[count]) {
                int lead = escapeAll || (narrowText[count] & 0xC0) != 0x80;
                if (lead && m_precision > 0 && characters == m_precision)
                    break;
                characters += lead;
                count++;
            }
        }
    }

    // Escaped or UTF-8 text is built in the scratch first: the padding needs its length.
    GString* scratch = m_out->PrepareScratch();
    if (!scratch)
        return 0;
    scratch->ClearAs(1);
    if (wideText) {
        int run = 0;
        for (int i = 0; i < count; i++) {
            unsigned unit = wideText[i];
            if (escapeAll ? (unit < 0x20 || unit > 0x7E) : unit < 0x20) {
                if (!scratch->AppendWideDirect(wideText + run, i - run) || !AppendEscape(scratch, unit, set))
                    return 0;
                run = i + 1;
            }
        }
        if (!scratch->AppendWideDirect(wideText + run, count - run))
            return 0;
    } else if (escapeAll) {
        for (int i = 0; i < count; i++) {
            unsigned byte = narrowText[i];
            int ok = (byte < 0x20 || byte > 0x7E) ? AppendEscape(scratch, byte, set)
                                                 : scratch->AppendWideChar((wchar_t)byte, 1);
            if (!ok)
                return 0;
        }
    } else {
        int run = 0;
        for (int i = 0; i < count; i++) {
            unsigned byte = narrowText[i];
            if (escapeControls && byte < 0x20) {
                if (!scratch->AppendNarrow((const char*)narrowText + run, i - run, 0) || !AppendEscape(scratch, byte, set))
                    return 0;
                run = i + 1;
            }
        }
        if (!scratch->AppendNarrow((const char*)narrowText + run, count - run, 0))
            return 0;
    }
    return WritePaddedWide(scratch->WideText(0), scratch->length);
}

int CFormatter::FormatCharacter()
{
    unsigned unit = (unsigned)FetchInt() & 0xFFFF;
    int escape = (m_flags & kFlagEscape) ? (unit < 0x20 || unit > 0x7E)
                                         : (m_flags & kFlagAlternate) && unit < 0x20;
    if (!escape && (m_flags & kFlagShort)) {
        unit &= 0xFF;
        if (unit >= 0x80)
            return 0;
    }
    int padding = Padding(escape ? 4 : 1);
    if (!PadLeft(padding))
        return 0;
    int ok = escape ? AppendEscape(m_out, unit, (m_flags & kFlagUpper) ? kDigitsUpper : kDigitsLower)
                    : m_out->AppendWideUnit((wchar_t)unit);
    return ok && PadRight(padding);
}

int CFormatter::FormatBytes()
{
    int count = m_precision;
    if (count <= 0)
        return 1;
    const unsigned char* bytes = (const unsigned char*)FetchPointer();
    if (!bytes)
        return WritePaddedWide(kNullWide, 6);
    const int braces = (m_flags & kFlagAlternate) != 0;
    const int spaced = (m_flags & kFlagSpace) != 0;
    const int grouped = (m_flags & kFlagGroup) != 0;
    const char* set = (m_flags & kFlagUpper) ? kDigitsUpper : kDigitsLower;

    long long size = 2LL * count;
    if (grouped) {
        long long groups = (count + 3) / 4;
        size += braces ? 2 * groups : groups - 1;
    } else if (braces) {
        size += 2LL * count;
    }
    if (spaced)
        size += count - 1;
    if (size > 0x7FFFFFFF)
        return 0;
    int padding = Padding((int)size);
    if (!PadLeft(padding) || !m_out->ReserveMore((int)size))
        return 0;

    wchar_t piece[8];
    for (int i = 0; i < count; i++) {
        int n = 0;
        if (i == 0 && grouped && braces)
            piece[n++] = L'{';
        if (i > 0) {
            if (grouped && i % 4 == 0) {
                if (braces)
                    piece[n++] = L'}';
                if (spaced)
                    piece[n++] = L' ';
                if (!braces)
                    piece[n++] = L' ';
                if (braces)
                    piece[n++] = L'{';
            } else if (spaced) {
                piece[n++] = L' ';
            }
        }
        if (braces && !grouped)
            piece[n++] = L'{';
        piece[n++] = (wchar_t)set[bytes[i] >> 4];
        piece[n++] = (wchar_t)set[bytes[i] & 15];
        if (braces && (!grouped || i == count - 1))
            piece[n++] = L'}';
        if (!m_out->AppendWideDirect(piece, n))
            return 0;
    }
    return PadRight(padding);
}

int CFormatter::FormatAddress()
{
    const void* argument = FetchPointer();
    const int threeDigits = (m_flags & kFlagZero) != 0;
    m_flags &= ~kFlagZero; // '0' shapes the octets; the padding stays spaces
    if (!argument)
        return WritePaddedWide(kNullWide, 6);
    unsigned address;
    memcpy(&address, argument, 4);
    CNarrowText text;
    for (int octet = 0; octet < 4; octet++) {
        unsigned value = (address >> (24 - 8 * octet)) & 0xFF;
        if (octet)
            text.Put('.');
        char digits[3];
        int n = 0;
        do {
            digits[n++] = (char)('0' + value % 10);
            value /= 10;
        } while (value);
        if (threeDigits)
            text.Repeat('0', 3 - n);
        while (n)
            text.Put(digits[--n]);
    }
    return WritePaddedNarrow(text.Text(), text.Length());
}

int CFormatter::FormatIdentifier()
{
    m_flags &= ~kFlagZero;
    const unsigned char* id = (const unsigned char*)FetchPointer();
    if (!id)
        return WritePaddedWide(kNullWide, 6);
    static const unsigned char order[16] = {3, 2, 1, 0, 5, 4, 7, 6, 8, 9, 10, 11, 12, 13, 14, 15};
    const char* set = (m_flags & kFlagUpper) ? kDigitsUpper : kDigitsLower;
    CNarrowText text;
    text.Put('{');
    for (int i = 0; i < 16; i++) {
        text.Put(set[id[order[i]] >> 4]);
        text.Put(set[id[order[i]] & 15]);
        if (i == 3 || i == 5 || i == 7 || i == 9)
            text.Put('-');
    }
    text.Put('}');
    return WritePaddedNarrow(text.Text(), text.Length());
}

void GString::DebugOut(int maxChars)
{
    if (length <= 0)
        return;
    const unsigned char* bytes = wide ? nullptr : (const unsigned char*)NarrowText(0);
    const wchar_t* units = wide ? WideText(0) : nullptr;

    int characters = length;
    if (bytes) {
        characters = 0;
        for (int i = 0; i < length; i++)
            characters += (bytes[i] & 0xC0) != 0x80;
    }
    int n = characters < maxChars ? characters : maxChars;
    if (n < 0)
        n = 0;
    int lineLength = dumpLineLength > 0 ? dumpLineLength : 0;
    int full = lineLength ? n / lineLength : 0;
    int rest = lineLength ? n % lineLength : n;

    GString* line = PrepareScratch();
    if (!line)
        return;
    line->ClearAs(1);

    int at = 0; // index into the text, in units of its mode
    for (int i = 0; i < full; i++) {
        line->Clear();
        int start = at;
        if (units) {
            at += lineLength;
        } else {
            // Whole characters: a lead byte and the continuation bytes after it.
            for (int c = 0; c < lineLength && at < length; c++) {
                at++;
                while (at < length && (bytes[at] & 0xC0) == 0x80)
                    at++;
            }
        }
        int ok = units ? line->AppendWideDirect(units + start, at - start)
                       : line->AppendNarrow((const char*)bytes + start, at - start, 0);
        const wchar_t* end = (i == full - 1 && rest == 0) ? L"\n" : L" \\\n";
        if (!ok || !line->AppendWideDirect(end, -1))
            return;
        OutputDebugStringW(line->WideText(0));
    }
    if (rest) {
        line->Clear();
        int ok = units ? line->AppendWideDirect(units + at, length - at)
                       : line->AppendNarrow((const char*)bytes + at, length - at, 0);
        if (!ok || !line->AppendWideDirect(L"\n", 1))
            return;
        OutputDebugStringW(line->WideText(0));
    }
}
