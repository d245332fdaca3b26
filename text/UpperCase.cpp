// UpperCaseUnit: the simple uppercase mapping of Unicode 5.2 for single UTF-16 units, except
// that U+00B5, U+03D0, U+03D5, U+03D6, U+03F0 and U+03F1 stay unchanged.
#include "text/GString.h"
#include "text/UpperCaseRules.h"

namespace {

struct CasePair
{
    unsigned short lower;
    unsigned short upper;
};

// Sorted by the lower code point.
const CasePair kUpperCaseTable[] = {
#include "text/UpperCaseTable.inc"
};

} // namespace

wchar_t UpperCaseUnit(wchar_t unit)
{
    int mapped = UpperCaseByRule(unit);
    if (mapped >= 0)
        return (wchar_t)mapped;
    int low = 0;
    int high = (int)(sizeof kUpperCaseTable / sizeof kUpperCaseTable[0]) - 1;
    while (low <= high) {
        int middle = (low + high) / 2;
        unsigned short lower = kUpperCaseTable[middle].lower;
        if (lower == unit)
            return (wchar_t)kUpperCaseTable[middle].upper;
        if (lower < unit)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return unit;
}
