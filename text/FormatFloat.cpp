// The formatter's conversions of doubles ('f' 'e' 'g' 'a' 'F') and of integers shown as sizes
// in powers of 1024 ('U' 'I').
//
// Decimal digits come from MinGW's own printf (__mingw_snprintf, gdtoa underneath), which
// rounds correctly; msvcrt's printf does not. std::to_chars would do as well but adds about
// 330 KB to the statically linked program.
#include "text/FormatInternal.h"

#include <math.h>
#include <stdio.h>
#include <string.h>

namespace {

const int kMaxDigits = 351;
const int kMaxPrecision = 308;
const int kMaxWidth = 512;

// A decimal digit string without point: the value is 0.d1d2... x 10^dec.
struct DecimalDigits
{
    char digit[kMaxDigits + 1];
    int count;
    int dec;
};

// The significant-digits form: `n` digits, rounded.
int SignificantForm(double magnitude, int n, DecimalDigits* out)
{
    if (n < 1 || n > kMaxDigits)
        return 0;
    out->count = n;
    out->dec = 0;
    if (magnitude == 0) {
        memset(out->digit, '0', (size_t)n);
        return 1;
    }
    char text[kMaxDigits + 16];
    int written = __mingw_snprintf(text, sizeof text, "%.*e", n - 1, magnitude);
    if (written <= 0 || written >= (int)sizeof text)
        return 0;
    // d.ddd...e+XX; the point is whatever the C locale makes it, so only digits are taken.
    int count = 0;
    const char* p = text;
    for (; *p && *p != 'e'; p++) {
        if (*p >= '0' && *p <= '9' && count < n)
            out->digit[count++] = *p;
    }
    if (*p != 'e' || count != n)
        return 0;
    int exponent = 0;
    int negative = p[1] == '-';
    for (p += 2; *p >= '0' && *p <= '9'; p++)
        exponent = exponent * 10 + (*p - '0');
    out->dec = (negative ? -exponent : exponent) + 1;
    return 1;
}

// The fixed form: as many digits as the value needs for `p` digits after the point, rounded.
// A value that rounds to zero gives no digits and dec = -p.
int FixedForm(double magnitude, int p, DecimalDigits* out)
{
    out->dec = 0;
    if (magnitude == 0) {
        if (p > kMaxDigits)
            return 0;
        memset(out->digit, '0', (size_t)p);
        out->count = p;
        return 1;
    }
    // Up to 309 integer digits, the point and 308 fraction digits.
    char text[640];
    int written = __mingw_snprintf(text, sizeof text, "%.*f", p, magnitude);
    if (written <= 0 || written >= (int)sizeof text)
        return 0;
    int integerDigits = 0;
    while (text[integerDigits] >= '0' && text[integerDigits] <= '9')
        integerDigits++;
    const char* fraction = text[integerDigits] ? text + integerDigits + 1 : text + integerDigits;
    int count = 0;
    if (integerDigits == 1 && text[0] == '0') {
        int zeros = 0;
        while (zeros < p && fraction[zeros] == '0')
            zeros++;
        out->dec = -zeros;
        fraction += zeros;
    } else {
        if (integerDigits > kMaxDigits)
            return 0;
        memcpy(out->digit, text, (size_t)integerDigits);
        count = integerDigits;
        out->dec = integerDigits;
    }
    for (; *fraction >= '0' && *fraction <= '9'; fraction++) {
        if (count == kMaxDigits)
            return 0;
        out->digit[count++] = *fraction;
    }
    out->count = count;
    return 1;
}

// Digits from `from` to the end, or '0' past the end of the string.
char DigitAt(const DecimalDigits& d, int index)
{
    return index < d.count ? d.digit[index] : '0';
}

// The decimal point and digits of 'f', and of 'g' in its fixed form.
void PutFixed(CNarrowText* text, const DecimalDigits& d, int dec, int point)
{
    if (dec > 0) {
        text->Put(d.digit, dec < d.count ? dec : d.count);
        text->Repeat('0', dec - d.count);
        if (point)
            text->Put('.');
        if (d.count > dec)
            text->Put(d.digit + dec, d.count - dec);
    } else {
        text->Put('0');
        text->Put('.');
        text->Repeat('0', -dec);
        text->Put(d.digit, d.count);
    }
}

const char* const kSiPrefix[17] = {"y", "z", "a", "f", "p", "n", "\xC2\xB5", "m", " ",
                                   "k", "M", "G", "T", "P", "E", "Z", "Y"};
const char* const kBinaryPrefix[9] = {" ", "Ki", "Mi", "Gi", "Ti", "Pi", "Ei", "Zi", "Yi"};

} // namespace

char CFormatter::SignCharacter(int negative) const
{
    if (negative)
        return '-';
    if (m_flags & kFlagPlus)
        return '+';
    if (m_flags & kFlagSpace)
        return ' ';
    return 0;
}

int CFormatter::WriteExponent(CNarrowText* text, char letter, int exponent) const
{
    text->Put(letter);
    text->Put(exponent < 0 ? '-' : '+');
    int magnitude = exponent < 0 ? -exponent : exponent;
    int digits = (magnitude >= 100 || (m_out->formatOptions & kOptionThreeDigitExponent)) ? 3 : 2;
    char buffer[12];
    int n = 0;
    do {
        buffer[n++] = (char)('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    text->Repeat('0', digits - n);
    while (n)
        text->Put(buffer[--n]);
    return 1;
}

// Sign, prefix and body with the width applied; zero padding goes between prefix and body.
int CFormatter::WriteNumber(char sign, const char* prefix, const CNarrowText& body)
{
    CNarrowText text;
    int prefixLength = (int)strlen(prefix);
    int padding = Padding((sign ? 1 : 0) + prefixLength + body.Length());
    int left = !(m_flags & kFlagLeft);
    int zeros = left && (m_flags & kFlagZero);
    if (left && !zeros)
        text.Repeat(' ', padding);
    if (sign)
        text.Put(sign);
    text.Put(prefix, prefixLength);
    if (zeros)
        text.Repeat('0', padding);
    text.Put(body.Text(), body.Length());
    if (!left)
        text.Repeat(' ', padding);
    return m_out->AppendNarrow(text.Text(), text.Length(), 0);
}

int CFormatter::WriteSpecial(const char* text)
{
    return WritePaddedNarrow(text, 6);
}

int CFormatter::FormatFloat()
{
    double value;
    if (m_letter == L'F' && (m_flags & kFlagShort))
        value = FetchInt();
    else if (m_letter == L'F' && (m_flags & kFlag64))
        value = (double)FetchInt64();
    else
        value = FetchDouble();
    if (m_width > kMaxWidth)
        m_width = kMaxWidth;

    if (isnan(value))
        return WriteSpecial("{ nan}");
    if (isinf(value))
        return WriteSpecial(value > 0 ? "{+inf}" : "{-inf}");

    const int upper = (m_flags & kFlagUpper) != 0;
    const int alternate = (m_flags & kFlagAlternate) != 0;
    int p = m_precision;
    if (p > kMaxPrecision)
        p = kMaxPrecision;
    CNarrowText body;
    DecimalDigits d;

    switch (m_letter) {
    case L'f': {
        if (p <= 0)
            p = 6;
        if (!FixedForm(fabs(value), p, &d))
            return 0;
        PutFixed(&body, d, d.dec < -p ? -p : d.dec, 1);
        return WriteNumber(SignCharacter(value < 0), "", body);
    }
    case L'e': case L'E': {
        if (p <= 0)
            p = 6;
        if (!SignificantForm(fabs(value), p + 1, &d))
            return 0;
        body.Put(d.digit[0]);
        body.Put('.');
        body.Put(d.digit + 1, p);
        WriteExponent(&body, upper ? 'E' : 'e', value == 0 ? 0 : d.dec - 1);
        return WriteNumber(SignCharacter(value < 0), "", body);
    }
    case L'g': case L'G': {
        if (p < 0)
            p = 6;
        if (p == 0)
            p = 1;
        if (!SignificantForm(fabs(value), p, &d))
            return 0;
        int exponent = value == 0 ? 0 : d.dec - 1;
        if (exponent < -4 || exponent >= p) {
            if (!alternate)
                while (d.count > 1 && d.digit[d.count - 1] == '0')
                    d.count--;
            body.Put(d.digit[0]);
            if (d.count > 1 || alternate) {
                body.Put('.');
                body.Put(d.digit + 1, d.count - 1);
            }
            WriteExponent(&body, upper ? 'E' : 'e', exponent);
        } else if (value == 0 && !alternate) {
            body.Put('0');
        } else {
            if (!alternate)
                while (d.count > d.dec && d.count > 0 && d.digit[d.count - 1] == '0')
                    d.count--;
            PutFixed(&body, d, d.dec, alternate || d.count > d.dec);
        }
        return WriteNumber(SignCharacter(value < 0), "", body);
    }
    case L'a': case L'A': {
        unsigned long long bits;
        memcpy(&bits, &value, 8);
        int biased = (int)((bits >> 52) & 0x7FF);
        unsigned long long fraction = bits & 0xFFFFFFFFFFFFFull;
        char lead = '1';
        int exponent = biased - 1023;
        if (biased == 0) {
            lead = '0';
            exponent = fraction ? -1022 : 0;
        }
        if (p <= 0) {
            p = 0;
            for (unsigned long long f = fraction; f; f = (f << 4) & 0xFFFFFFFFFFFFFull)
                p++;
        }
        const char* set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
        char digits[kMaxPrecision + 1];
        for (int i = 0; i < p; i++)
            digits[i] = i < 13 ? set[(fraction >> (48 - 4 * i)) & 15] : '0';
        if (p < 13 && ((fraction >> (48 - 4 * p)) & 15) >= 8) {
            int i = p - 1;
            for (; i >= 0; i--) {
                char c = digits[i];
                if (c == 'f' || c == 'F') {
                    digits[i] = '0';
                    continue;
                }
                digits[i] = c == '9' ? set[10] : (char)(c + 1);
                break;
            }
            if (i < 0)
                lead++;
        }
        body.Put(lead);
        if (p > 0 || alternate)
            body.Put('.');
        body.Put(digits, p);
        body.Put(upper ? 'P' : 'p');
        body.Put(exponent < 0 ? '-' : '+');
        char buffer[8];
        int n = 0;
        int magnitude = exponent < 0 ? -exponent : exponent;
        do {
            buffer[n++] = (char)('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude);
        while (n)
            body.Put(buffer[--n]);
        const char* prefix = (upper && (m_out->formatOptions & kOptionUpperHexPrefix)) ? "0X" : "0x";
        return WriteNumber(SignCharacter((int)(bits >> 63)), prefix, body);
    }
    case L'F': {
        if (p < 3)
            p = 3;
        if (!SignificantForm(fabs(value), p, &d))
            return 0;
        int exponent = value == 0 ? 0 : d.dec - 1;
        int r = exponent % 3;
        int integerDigits = 1;
        if (r == 1 || r == -2) {
            integerDigits = 2;
            exponent -= 1;
        } else if (r != 0) {
            integerDigits = 3;
            exponent -= 2;
        }
        body.Put(d.digit, integerDigits);
        body.Put('.');
        body.Put(d.digit + integerDigits, p - integerDigits);
        if (alternate && exponent >= -24 && exponent <= 24) {
            body.Put(' ');
            if (exponent == -6 && (m_out->formatOptions & kOptionMicroAsU))
                body.Put('u');
            else
                body.Put(kSiPrefix[exponent / 3 + 8], (int)strlen(kSiPrefix[exponent / 3 + 8]));
        } else {
            WriteExponent(&body, 'e', exponent);
        }
        return WriteNumber(SignCharacter(value < 0), "", body);
    }
    }
    return -1;
}

int CFormatter::FormatScaled()
{
    int p = m_precision;
    if (p < 0)
        p = 3;
    if (p < 2)
        p = 2;
    if (p > kMaxPrecision)
        p = kMaxPrecision;
    if (m_width > kMaxWidth)
        m_width = kMaxWidth;

    int negative = 0;
    unsigned long long magnitude = FetchMagnitude(&negative);

    int k = 0;
    while (k < 6 && (magnitude >> (10 * (k + 1))) != 0)
        k++;
    // The conversion to double rounds 64-bit values; the scaling by 1024^k is exact.
    double quantity = ldexp((double)magnitude, -10 * k);
    DecimalDigits d;
    if (!SignificantForm(quantity, p, &d))
        return 0;
    if (d.dec > p) {
        k++;
        quantity = ldexp(quantity, -10);
        if (!SignificantForm(quantity, p - 1 > 1 ? p - 1 : 1, &d))
            return 0;
    }

    CNarrowText text;
    char sign = SignCharacter(negative);
    if (sign)
        text.Put(sign);
    if (d.dec <= 0) {
        text.Put('0');
        text.Put('.');
        for (int i = 0; i < p - 1; i++)
            text.Put(DigitAt(d, i));
    } else {
        for (int i = 0; i < p; i++) {
            if (i == d.dec)
                text.Put('.');
            text.Put(DigitAt(d, i));
        }
        if (d.dec >= p)
            text.Put('.');
    }
    if (m_flags & kFlagAlternate) {
        text.Put(' ');
        text.Put(kBinaryPrefix[k], (int)strlen(kBinaryPrefix[k]));
    } else {
        text.Put('b');
        text.Put((char)('0' + k));
        text.Put('0');
    }
    return WritePaddedNarrow(text.Text(), text.Length());
}
