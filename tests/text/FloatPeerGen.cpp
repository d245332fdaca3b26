// Writes the expected 'e' and 'f' texts of many doubles, as the host C library prints them
// (glibc rounds correctly), for the formatter's peer test.
//
// usage: float_peer_gen OUTPUT
// Each line: the double's bits in hexadecimal, the conversion letter, the precision, the text.
#include <math.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

namespace {

uint64_t g_state = 0x243F6A8885A308D3ull;

uint64_t Next()
{
    uint64_t z = (g_state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

double FromBits(uint64_t bits)
{
    double value;
    memcpy(&value, &bits, 8);
    return value;
}

uint64_t Bits(double value)
{
    uint64_t bits;
    memcpy(&bits, &value, 8);
    return bits;
}

// A double of the given biased exponent with a random fraction and sign.
double WithExponent(int biased)
{
    return FromBits((Next() & 0x800FFFFFFFFFFFFFull) | ((uint64_t)biased << 52));
}

int Write(FILE* out, double value, char conversion, int precision)
{
    char format[8] = {'%', '.', '*', conversion, 0};
    char text[800];
    snprintf(text, sizeof text, format, precision, value);
    return fprintf(out, "%016llx %c %d %s\n", (unsigned long long)Bits(value), conversion,
                   precision, text) > 0;
}

int WriteAll(FILE* out, double value)
{
    // Zero's sign is not shown by these conversions, unlike printf's.
    if (value == 0 || isnan(value) || isinf(value))
        value = fabs(value);
    if (isnan(value) || isinf(value))
        return 1;
    for (int precision = 1; precision <= 17; precision++)
        if (!Write(out, value, 'e', precision) || !Write(out, value, 'f', precision))
            return 0;
    return 1;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: float_peer_gen OUTPUT\n");
        return 2;
    }
    FILE* out = fopen(argv[1], "w");
    if (!out) {
        fprintf(stderr, "float_peer_gen: cannot write %s\n", argv[1]);
        return 1;
    }
    int ok = 1;
    // Any bit pattern: every exponent from subnormal to huge.
    for (int i = 0; i < 1200 && ok; i++)
        ok = WriteAll(out, FromBits(Next()));
    // Subnormals, the smallest normals and the largest values.
    for (int i = 0; i < 300 && ok; i++)
        ok = WriteAll(out, WithExponent(0));
    for (int i = 0; i < 200 && ok; i++)
        ok = WriteAll(out, WithExponent(1 + (int)(Next() % 8)));
    for (int i = 0; i < 200 && ok; i++)
        ok = WriteAll(out, WithExponent(2046 - (int)(Next() % 8)));
    // Everyday magnitudes, from 2^-40 to 2^60.
    for (int i = 0; i < 1200 && ok; i++)
        ok = WriteAll(out, WithExponent(1023 - 40 + (int)(Next() % 101)));
    // Short decimals: k / 10^d, which lie near the rounding boundaries of small precisions.
    for (int i = 0; i < 400 && ok; i++)
        ok = WriteAll(out, (double)(Next() % 100000) / pow(10.0, (double)(Next() % 8)));
    // Exact ties for 'f': an odd multiple of 2^-(p+1) has p+1 fraction digits, the last a 5.
    for (int i = 0; i < 1000 && ok; i++) {
        int precision = 1 + (int)(Next() % 17);
        double value = ldexp((double)((Next() % 4000000) * 2 + 1), -(precision + 1));
        ok = Write(out, value, 'f', precision);
    }
    // Exact ties for 'e': integers of p + 2 digits ending in 5, exact in a double.
    for (int i = 0; i < 1000 && ok; i++) {
        int precision = 1 + (int)(Next() % 13);
        uint64_t low = 1;
        for (int d = 0; d < precision; d++)
            low *= 10;
        uint64_t value = (low + Next() % (9 * low)) * 10 + 5;
        int scale = (int)(Next() % 21) - 10; // scaled by a power of two: near a tie, exact still
        ok = Write(out, ldexp((double)value, scale), 'e', precision) &&
             Write(out, (double)value, 'e', precision);
    }
    if (fclose(out) != 0 || !ok) {
        fprintf(stderr, "float_peer_gen: writing %s failed\n", argv[1]);
        return 1;
    }
    return 0;
}
