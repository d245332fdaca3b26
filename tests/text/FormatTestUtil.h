// Table rows for the formatter tests: a call of Format with its own arguments, the result it
// must give and the text it must leave.
#pragma once

#include "tests/text/TextTestUtil.h"

#include <gtest/gtest.h>

struct FormatCase
{
    const char* call;           // the arguments as written, for failure messages
    int result;
    const wchar_t* expected;
    unsigned options;           // formatOptions of the receiver
    int (*run)(GString* s);
};

// FORMAT_CASE(expected, format, arguments...): a successful call with formatOptions 0.
#define FORMAT_CASE(expected, ...) \
    {#__VA_ARGS__, 1, expected, 0, [](GString* s) { return Format(s, __VA_ARGS__); }}
#define FORMAT_CASE_OPTIONS(options, expected, ...) \
    {#__VA_ARGS__, 1, expected, options, [](GString* s) { return Format(s, __VA_ARGS__); }}
#define FORMAT_FAILS(expected, ...) \
    {#__VA_ARGS__, 0, expected, 0, [](GString* s) { return Format(s, __VA_ARGS__); }}

template <size_t N>
void CheckFormatCases(const FormatCase (&cases)[N])
{
    for (const FormatCase& c : cases) {
        GString s;
        s.formatOptions = c.options;
        EXPECT_EQ(c.result, c.run(&s)) << c.call;
        EXPECT_EQ(1, s.wide) << c.call;
        EXPECT_EQ(std::wstring(c.expected), Wide(s)) << c.call;
    }
}
