// The document generator: the chart shows every character of the layout definition (read back
// from the built PDF and HTML page), the drawn keys sit where each variant places them, and the
// generator's guards (missing glyphs, bad sources) answer with file and line.
#include "Chart.h"
#include "Manual.h"
#include "Render.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace {

const std::string kContent = KBD_TEST_CONTENT;
const std::string kDocs = KBD_TEST_DOCS_DIR;
const std::string kFonts = KBD_TEST_FONT_DIR;

std::string RunCommand(const std::string& command)
{
    std::string out;
    FILE* p = popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    pclose(p);
    return out;
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string Unescape(std::string html)
{
    const std::pair<const char*, const char*> entities[] = {{"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&amp;", "&"}};
    for (const auto& e : entities) {
        for (size_t at = html.find(e.first); at != std::string::npos; at = html.find(e.first, at + 1))
            html.replace(at, std::string(e.first).size(), e.second);
    }
    return html;
}

struct Loaded {
    CDefinition def;
    CUnicodeData ucd;
    CLabels labels;
    CFonts fonts;
    bool ok = false;
    Loaded()
    {
        ok = def.Load(kContent + "/layout/layout.kbd") && ucd.Load(kContent + "/layout/unicode/UnicodeData-5.2.0.txt") &&
             labels.Load(kContent + "/docs/chart.txt") &&
             fonts.Load(kFonts + "/DejaVuSans.ttf", kFonts + "/DejaVuSans-Bold.ttf", kFonts + "/DejaVuSansMono.ttf");
    }
};

// Every character the layout types at a key, as the chart must show it: the character itself,
// or the short name of an invisible one.
std::set<std::string> DefinitionCharacters(const CDefinition& def)
{
    std::set<std::string> out;
    for (const DefKey& k : def.Keys()) {
        for (int c : {kColBase, kColShift, kColAltGr, kColShiftAltGr}) {
            const DefCell& cell = k.cells[c];
            uint32_t ch = cell.accent >= 0 ? def.Accents()[cell.accent].spacing : cell.ch;
            if (ch <= 0x20)
                continue;   // control characters and the space bar's own space
            out.insert(CChart::Shown(ch));
        }
    }
    return out;
}

TEST(DocsChart, InvisibleCharactersHaveNames)
{
    EXPECT_EQ(CChart::Shown(0x00A0), "nbsp");
    EXPECT_EQ(CChart::Shown(0x202F), "nnbsp");
    EXPECT_EQ(CChart::Shown(0x00AD), "shy");
    EXPECT_EQ(CChart::Shown(0x0105), "ą");
}

TEST(DocsChart, ChartPdfShowsEveryCharacterOfTheDefinition)
{
    Loaded l;
    ASSERT_TRUE(l.ok);
    std::string text = RunCommand("pdftotext -enc UTF-8 '" + kDocs + "/chart.pdf' -");
    ASSERT_FALSE(text.empty()) << "pdftotext gave nothing for chart.pdf";
    std::set<std::string> chars = DefinitionCharacters(l.def);
    ASSERT_GT(chars.size(), 150u);
    for (const std::string& c : chars)
        EXPECT_NE(text.find(c), std::string::npos) << "chart.pdf lacks " << c;
}

TEST(DocsChart, PageShowsEveryCharacterOfTheDefinition)
{
    Loaded l;
    ASSERT_TRUE(l.ok);
    std::string html = Unescape(ReadFile(kDocs + "/page.html"));
    ASSERT_FALSE(html.empty());
    for (const std::string& c : DefinitionCharacters(l.def))
        EXPECT_NE(html.find(">" + c + "<"), std::string::npos) << "page.html has no label " << c;
}

TEST(DocsChart, EveryDeadKeyResultIsShown)
{
    Loaded l;
    ASSERT_TRUE(l.ok);
    KbdLayout layout;
    ASSERT_TRUE(l.def.Build(1, 0, l.ucd, layout)) << l.def.Error();
    ASSERT_FALSE(layout.deadKeys.empty());
    std::string text = RunCommand("pdftotext -enc UTF-8 '" + kDocs + "/chart.pdf' -");
    std::string html = Unescape(ReadFile(kDocs + "/page.html"));
    for (const KbdDeadEntry& d : layout.deadKeys) {
        std::string c = Utf8(d.composed);
        EXPECT_NE(text.find(c), std::string::npos) << "chart.pdf lacks the dead-key result " << c;
        EXPECT_NE(html.find(">" + c + "<"), std::string::npos) << "page.html lacks the dead-key result " << c;
    }
}

// The base characters drawn in one keyboard row, left to right: the bottom-left labels in the
// row's band, told from the AltGr labels by their alignment and from key names by their colour.
std::string RowBase(const DocPage& page, double u, int row)
{
    std::map<double, std::string> byX;
    double lowest = -1;
    for (const DocItem& i : page.items) {
        if (i.kind == DocItem::kText && i.align == kAlignLeft && i.y > row * u + u / 2 && i.y < (row + 1) * u && i.fill.r < 0x40)
            lowest = std::max(lowest, i.y);
    }
    for (const DocItem& i : page.items) {
        if (i.kind == DocItem::kText && i.align == kAlignLeft && i.y == lowest && i.fill.r < 0x40)
            byX[i.x] = i.text;
    }
    std::string s;
    for (const auto& kv : byX)
        s += kv.second;
    return s;
}

TEST(DocsChart, DrawnKeysSitWhereTheVariantPlacesThem)
{
    Loaded l;
    ASSERT_TRUE(l.ok);
    CChart chart(l.def, l.labels, l.fonts);
    std::string error;
    ASSERT_TRUE(chart.Prepare(l.ucd, error)) << error;
    const double u = 50;
    // The character keys of the four rows, left to right, by scan code.
    std::vector<std::vector<int>> rows(4);
    rows[0].push_back(0x29);
    for (int s = 0x02; s <= 0x0D; ++s)
        rows[0].push_back(s);
    for (int s = 0x10; s <= 0x1B; ++s)
        rows[1].push_back(s);
    rows[1].push_back(0x2B);
    for (int s = 0x1E; s <= 0x28; ++s)
        rows[2].push_back(s);
    rows[3].push_back(0x56);
    for (int s = 0x2C; s <= 0x35; ++s)
        rows[3].push_back(s);
    for (int v = 0; v < kLayoutVariants; ++v) {
        for (int set = 0; set < kLayoutSets; ++set) {
            DocPage page;
            chart.DrawKeyboard(page, set, v, 0, 0, u);
            for (int r = 0; r < 4; ++r) {
                std::string expected;
                for (int scan : rows[r])
                    expected += Utf8(l.def.Keys()[l.def.Placement(v)[scan]].cells[kColBase].ch);
                EXPECT_EQ(RowBase(page, u, r), expected) << "variant " << v << " set " << set << " row " << r;
            }
        }
    }
    // A known fact of each variant, independent of the placement table.
    DocPage qwertz, dvorak;
    chart.DrawKeyboard(qwertz, 0, 1, 0, 0, u);
    chart.DrawKeyboard(dvorak, 0, 2, 0, 0, u);
    EXPECT_EQ(RowBase(qwertz, u, 1), "qwertzuiop[]\\");
    EXPECT_EQ(RowBase(dvorak, u, 1), "',.pyfgcrl/=\\");
    EXPECT_EQ(RowBase(dvorak, u, 2), "aoeuidhtns-");
}

TEST(DocsChart, DeadKeysAreMarkedOnlyInSet1)
{
    Loaded l;
    ASSERT_TRUE(l.ok);
    CChart chart(l.def, l.labels, l.fonts);
    std::string error;
    ASSERT_TRUE(chart.Prepare(l.ucd, error)) << error;
    for (int set = 0; set < kLayoutSets; ++set) {
        DocPage page;
        chart.DrawKeyboard(page, set, 0, 0, 0, 50);
        std::set<std::string> bold;
        for (const DocItem& i : page.items)
            if (i.kind == DocItem::kText && i.font == kFontBold)
                bold.insert(i.text);
        if (set == 0) {
            EXPECT_TRUE(bold.empty());
        } else {
            for (const DefAccent& a : l.def.Accents())
                EXPECT_EQ(bold.count(Utf8(a.spacing)), 1u) << a.name << " is not marked as a dead key";
        }
    }
}

TEST(DocsGuards, MissingGlyphIsFound)
{
    Loaded l;
    ASSERT_TRUE(l.ok);
    uint32_t missing = 0;
    EXPECT_TRUE(l.fonts.Covers(kFontRegular, "ąę„”→✓ẞ", missing));
    EXPECT_FALSE(l.fonts.Covers(kFontRegular, "a\xE4\xB8\x80", missing));   // U+4E00, a CJK ideograph
    EXPECT_EQ(missing, 0x4E00u);

    CChart chart(l.def, l.labels, l.fonts);
    DocDocument doc;
    doc.pages.emplace_back();
    doc.pages.back().Text(0, 0, "\xE4\xB8\x80", kFontRegular, 10, Rgb(0));
    std::string error;
    EXPECT_FALSE(chart.CheckGlyphs(doc, error));
    EXPECT_NE(error.find("U+4E00"), std::string::npos) << error;
}

// The prose of the manual names characters of the layout; a character the layout cannot type
// is a mistake in the text.
TEST(DocsManual, MentionsOnlyCharactersTheLayoutTypes)
{
    Loaded l;
    ASSERT_TRUE(l.ok);
    KbdLayout layout;
    ASSERT_TRUE(l.def.Build(1, 0, l.ucd, layout)) << l.def.Error();
    std::set<uint32_t> typed;
    for (const DefKey& k : l.def.Keys())
        for (const DefCell& c : k.cells)
            typed.insert(c.accent >= 0 ? l.def.Accents()[c.accent].spacing : c.ch);
    for (const KbdDeadEntry& d : layout.deadKeys)
        typed.insert(d.composed);
    std::vector<uint32_t> text;
    ASSERT_TRUE(DecodeUtf8(ReadFile(kContent + "/docs/manual.txt"), text));
    ASSERT_FALSE(text.empty());
    for (uint32_t c : text)
        EXPECT_TRUE(c < 0x80 || typed.count(c)) << "manual.txt names U+" << std::hex << c << ", which the layout does not type";
}

TEST(DocsManual, PdfHasEveryAccentWithItsPlace)
{
    Loaded l;
    ASSERT_TRUE(l.ok);
    CChart chart(l.def, l.labels, l.fonts);
    std::string error;
    ASSERT_TRUE(chart.Prepare(l.ucd, error)) << error;
    std::string text = RunCommand("pdftotext -enc UTF-8 '" + kDocs + "/manual.pdf' -");
    ASSERT_FALSE(text.empty());
    for (size_t a = 0; a < l.def.Accents().size(); ++a) {
        const DefAccent& accent = l.def.Accents()[a];
        std::string place = chart.AccentPlace(static_cast<int>(a));
        ASSERT_FALSE(place.empty()) << accent.name << " has no key";
        EXPECT_NE(text.find(accent.title + " " + Utf8(accent.spacing)), std::string::npos) << accent.name;
        EXPECT_NE(text.find(place), std::string::npos) << accent.name << " at " << place;
    }
}

class DocsSources : public ::testing::Test {
protected:
    std::string m_dir;
    void SetUp() override
    {
        char tmpl[] = "/tmp/kbddocs-test-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        m_dir = tmpl;
    }
    void TearDown() override { RunCommand("rm -rf '" + m_dir + "'"); }
    std::string Write(const std::string& name, const std::string& text)
    {
        std::string path = m_dir + "/" + name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }
};

TEST_F(DocsSources, ManualErrorsNameFileAndLine)
{
    CManual m;
    EXPECT_FALSE(m.Load(Write("a.txt", "% Title\n\n@chart 7 0\n")));
    EXPECT_NE(m.Error().find("a.txt:3: unknown directive"), std::string::npos) << m.Error();
    CManual n;
    EXPECT_FALSE(n.Load(Write("b.txt", "% Title\n\nfirst line\nsecond `line\n")));
    EXPECT_NE(n.Error().find("b.txt:3: unbalanced"), std::string::npos) << n.Error();
    CManual e;
    EXPECT_TRUE(e.Load(Write("c.txt", "% Title\n\n- an item with an escaped \\` and \\*\n")));
}

TEST_F(DocsSources, ManualBlocks)
{
    CManual m;
    ASSERT_TRUE(m.Load(Write("m.txt", "% Title\n%% Sub\n// note\n# Chapter\n## Section\nline one\nline two\n\n- item\n  more\n- next\n@chart 2 1\n")));
    const std::vector<ManualBlock>& b = m.Blocks();
    ASSERT_EQ(b.size(), 8u);
    EXPECT_EQ(b[0].kind, ManualBlock::kTitle);
    EXPECT_EQ(b[1].kind, ManualBlock::kSubtitle);
    EXPECT_EQ(b[2].kind, ManualBlock::kChapter);
    EXPECT_EQ(b[3].kind, ManualBlock::kSection);
    EXPECT_EQ(b[4].text, "line one line two");
    EXPECT_EQ(b[5].text, "item more");
    EXPECT_EQ(b[6].text, "next");
    EXPECT_EQ(b[7].kind, ManualBlock::kChart);
    EXPECT_EQ(b[7].variant, 2);
    EXPECT_EQ(b[7].set, 1);
}

TEST_F(DocsSources, LabelErrors)
{
    CLabels twice;
    EXPECT_FALSE(twice.Load(Write("t.txt", "# c\na one\nb two\na three\n")));
    EXPECT_NE(twice.Error().find("t.txt:4: 'a' given twice"), std::string::npos) << twice.Error();
    CLabels bare;
    EXPECT_FALSE(bare.Load(Write("u.txt", "lonely\n")));
    EXPECT_NE(bare.Error().find("u.txt:1:"), std::string::npos) << bare.Error();
    CLabels ok;
    ASSERT_TRUE(ok.Load(Write("v.txt", "a one two\n")));
    EXPECT_EQ(ok.Get("a"), "one two");
    EXPECT_EQ(ok.Get("zz"), "");
    EXPECT_EQ(ok.Missing(), "zz");
}

} // namespace
