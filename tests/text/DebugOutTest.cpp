// DebugOut: the lines that reach the debugger output. OutputDebugStringW raises a debug-print
// exception that a debugger would receive; a vectored handler takes its place and keeps the lines.
#include "tests/text/TextTestUtil.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

#ifndef DBG_PRINTEXCEPTION_WIDE_C
#define DBG_PRINTEXCEPTION_WIDE_C 0x4001000AL
#endif

std::vector<std::wstring>* g_lines;

LONG CALLBACK CaptureDebugPrint(EXCEPTION_POINTERS* info)
{
    const EXCEPTION_RECORD* record = info->ExceptionRecord;
    if (!g_lines || record->NumberParameters < 2)
        return EXCEPTION_CONTINUE_SEARCH;
    size_t count = (size_t)record->ExceptionInformation[0];
    if (record->ExceptionCode == (DWORD)DBG_PRINTEXCEPTION_WIDE_C) {
        const wchar_t* text = (const wchar_t*)record->ExceptionInformation[1];
        g_lines->push_back(std::wstring(text, count ? count - 1 : 0));
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    if (record->ExceptionCode == (DWORD)DBG_PRINTEXCEPTION_C) {
        // Wine raises only the narrow form, converted to the ANSI code page.
        const char* text = (const char*)record->ExceptionInformation[1];
        int bytes = count ? (int)count - 1 : 0;
        std::wstring line((size_t)bytes, L'\0');
        int units = bytes ? MultiByteToWideChar(CP_ACP, 0, text, bytes, &line[0], bytes) : 0;
        line.resize((size_t)units);
        g_lines->push_back(line);
        return EXCEPTION_CONTINUE_EXECUTION;
    }
    return EXCEPTION_CONTINUE_SEARCH;
}

class DebugOutCapture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        g_lines = &lines;
        handler = AddVectoredExceptionHandler(1, CaptureDebugPrint);
        ASSERT_NE(nullptr, handler);
    }
    void TearDown() override
    {
        RemoveVectoredExceptionHandler(handler);
        g_lines = nullptr;
    }

    std::vector<std::wstring> lines;
    void* handler = nullptr;
};

std::wstring Letters(int count, int start = 0)
{
    std::wstring text;
    for (int i = 0; i < count; i++)
        text += (wchar_t)(L'a' + (start + i) % 26);
    return text;
}

} // namespace

TEST_F(DebugOutCapture, CaptureSeesPlainDebugOutput)
{
    OutputDebugStringW(L"probe\n");
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(L"probe\n", lines[0]);
}

TEST_F(DebugOutCapture, LongTextIsSplitIntoContinuedLines)
{
    GString s;
    s.AssignWide(Letters(170).c_str());
    s.DebugOut(65535);
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(Letters(80) + L" \\\n", lines[0]);
    EXPECT_EQ(Letters(80, 80) + L" \\\n", lines[1]);
    EXPECT_EQ(Letters(10, 160) + L"\n", lines[2]);
}

TEST_F(DebugOutCapture, ExactMultipleEndsWithPlainLineFeed)
{
    GString s;
    s.AssignWide(Letters(160).c_str());
    s.DebugOut(65535);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(Letters(80) + L" \\\n", lines[0]);
    EXPECT_EQ(Letters(80, 80) + L"\n", lines[1]);
}

TEST_F(DebugOutCapture, EmptyTextWritesNothing)
{
    GString s;
    s.DebugOut(65535);
    s.AssignWide(L"");
    s.DebugOut(65535);
    EXPECT_TRUE(lines.empty());
}

TEST_F(DebugOutCapture, LimitAndLineLength)
{
    GString s;
    s.AssignWide(Letters(100).c_str());
    s.dumpLineLength = 20;
    s.DebugOut(40); // two full lines, nothing after them
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(Letters(20) + L" \\\n", lines[0]);
    EXPECT_EQ(Letters(20, 20) + L"\n", lines[1]);

    lines.clear();
    s.DebugOut(45); // two full lines; the last line carries the rest of the text
    ASSERT_EQ(3u, lines.size());
    EXPECT_EQ(Letters(60, 40) + L"\n", lines[2]);

    lines.clear();
    s.dumpLineLength = 0;
    s.DebugOut(65535);
    ASSERT_EQ(1u, lines.size());
    EXPECT_EQ(Letters(100) + L"\n", lines[0]);
}

TEST_F(DebugOutCapture, NarrowTextCountsCharactersAndIsDecoded)
{
    // 85 characters of two bytes each: lines of 80 characters, not 80 bytes.
    std::string text;
    for (int i = 0; i < 85; i++)
        text += "\xC3\xA9";
    GString s;
    s.AssignNarrow(text.c_str());
    s.DebugOut(65535);
    ASSERT_EQ(2u, lines.size());
    EXPECT_EQ(std::wstring(80, L'\x00e9') + L" \\\n", lines[0]);
    EXPECT_EQ(std::wstring(5, L'\x00e9') + L"\n", lines[1]);
    EXPECT_EQ(0, s.wide); // the string itself keeps its mode
}
