#include "Chart.h"

#include <algorithm>
#include <fstream>
#include <sstream>

namespace {

const DocColor kInk = Rgb(0x151515);
const DocColor kGrey = Rgb(0x666666);
const DocColor kAltGrInk = Rgb(0x1a56b0);
const DocColor kDeadInk = Rgb(0xa4260c);
const DocColor kDeadFill = Rgb(0xfbdcc4);
const DocColor kKeyFill = Rgb(0xffffff);
const DocColor kKeyEdge = Rgb(0x8a8a8a);
const DocColor kNamedFill = Rgb(0xe6e6e6);
const DocColor kBoardFill = Rgb(0xf3f3f3);

// The rows of the drawn keyboard: a scan code of a character key, or a named key (scan -1).
struct Slot {
    int scan;
    double width;     // in key pitches
    const char* name; // label key of a named key
};

const Slot kRow0[] = {{0x29, 1, ""}, {0x02, 1, ""}, {0x03, 1, ""}, {0x04, 1, ""}, {0x05, 1, ""}, {0x06, 1, ""}, {0x07, 1, ""},
                      {0x08, 1, ""}, {0x09, 1, ""}, {0x0A, 1, ""}, {0x0B, 1, ""}, {0x0C, 1, ""}, {0x0D, 1, ""},
                      {-1, 2, "key.backspace"}};
const Slot kRow1[] = {{-1, 1.5, "key.tab"}, {0x10, 1, ""}, {0x11, 1, ""}, {0x12, 1, ""}, {0x13, 1, ""}, {0x14, 1, ""},
                      {0x15, 1, ""}, {0x16, 1, ""}, {0x17, 1, ""}, {0x18, 1, ""}, {0x19, 1, ""}, {0x1A, 1, ""},
                      {0x1B, 1, ""}, {0x2B, 1.5, ""}};
const Slot kRow2[] = {{-1, 1.75, "key.caps"}, {0x1E, 1, ""}, {0x1F, 1, ""}, {0x20, 1, ""}, {0x21, 1, ""}, {0x22, 1, ""},
                      {0x23, 1, ""}, {0x24, 1, ""}, {0x25, 1, ""}, {0x26, 1, ""}, {0x27, 1, ""}, {0x28, 1, ""},
                      {-1, 2.25, "key.enter"}};
const Slot kRow3[] = {{-1, 1.25, "key.shift"}, {0x56, 1, ""}, {0x2C, 1, ""}, {0x2D, 1, ""}, {0x2E, 1, ""}, {0x2F, 1, ""},
                      {0x30, 1, ""}, {0x31, 1, ""}, {0x32, 1, ""}, {0x33, 1, ""}, {0x34, 1, ""}, {0x35, 1, ""},
                      {-1, 2.75, "key.shift"}};
const Slot kRow4[] = {{-1, 1.25, "key.ctrl"}, {-1, 1.25, "key.win"}, {-1, 1.25, "key.alt"}, {0x39, 6.25, ""},
                      {-1, 1.25, "key.altgr"}, {-1, 1.25, "key.win"}, {-1, 1.25, "key.menu"}, {-1, 1.25, "key.ctrl"}};

struct Row {
    const Slot* slots;
    size_t count;
};
const Row kRows[] = {{kRow0, sizeof kRow0 / sizeof *kRow0}, {kRow1, sizeof kRow1 / sizeof *kRow1},
                     {kRow2, sizeof kRow2 / sizeof *kRow2}, {kRow3, sizeof kRow3 / sizeof *kRow3},
                     {kRow4, sizeof kRow4 / sizeof *kRow4}};

std::string Trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

} // namespace

bool CLabels::Load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        m_error = path + ": cannot read";
        return false;
    }
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        std::string t = Trim(line);
        if (t.empty() || t[0] == '#')
            continue;
        size_t sp = t.find_first_of(" \t");
        if (sp == std::string::npos) {
            m_error = path + ":" + std::to_string(n) + ": a key without text";
            return false;
        }
        std::string key = t.substr(0, sp);
        if (m_text.count(key)) {
            m_error = path + ":" + std::to_string(n) + ": '" + key + "' given twice";
            return false;
        }
        m_text[key] = Trim(t.substr(sp));
    }
    return true;
}

const std::string& CLabels::Get(const std::string& key) const
{
    static const std::string empty;
    auto it = m_text.find(key);
    if (it == m_text.end()) {
        if (m_missing.empty())
            m_missing = key;
        return empty;
    }
    return it->second;
}

CChart::CChart(CDefinition& def, const CLabels& labels, const CFonts& fonts)
    : m_def(def), m_labels(labels), m_fonts(fonts)
{
}

bool CChart::Prepare(const CUnicodeData& ucd, std::string& error)
{
    // The dead keys are the same in every variant of set 1: the accents belong to the keys.
    KbdLayout layout;
    if (!m_def.Build(1, 0, ucd, layout)) {
        error = m_def.Error();
        return false;
    }
    m_dead = layout.deadKeys;
    return true;
}

std::string CChart::Shown(uint32_t ch)
{
    switch (ch) {
    case 0x00A0: return "nbsp";
    case 0x202F: return "nnbsp";
    case 0x00AD: return "shy";
    case 0x0020: return "␣";
    default: return Utf8(ch);
    }
}

std::string CChart::AccentPlace(int accent) const
{
    for (const DefKey& k : m_def.Keys()) {
        for (int c = 0; c < kColumnCount; ++c) {
            if (k.cells[c].accent != accent)
                continue;
            std::string level = c == kColAltGr ? "AltGr" : c == kColShiftAltGr ? "Shift+AltGr" : c == kColShift ? "Shift" : "";
            std::string key = k.cells[kColBase].ch ? Utf8(k.cells[kColBase].ch) : k.name;
            return level.empty() ? key : level + " + " + key;
        }
    }
    return std::string();
}

void CChart::DrawKeyCap(DocPage& page, int set, const DefKey* key, const std::string& name, double x, double y,
                        double w, double h, double u) const
{
    const double gap = 0.06 * u;
    x += gap / 2;
    y += gap / 2;
    w -= gap;
    h -= gap;
    page.Rect(x, y, w, h, key ? kKeyFill : kNamedFill, kKeyEdge, 0.6, 0.08 * u);
    if (!key) {
        page.Text(x + 0.1 * u, y + h - 0.14 * u, name, kFontRegular, 0.2 * u, kGrey);
        return;
    }
    const double big = 0.32 * u, pad = 0.1 * u;
    // Places: Shift top left, base bottom left, Shift+AltGr top right, AltGr bottom right.
    struct Place {
        int column;
        bool right, top;
    };
    const Place places[] = {{kColShift, false, true}, {kColBase, false, false},
                            {kColShiftAltGr, true, true}, {kColAltGr, true, false}};
    for (const Place& p : places) {
        const DefCell& cell = key->cells[p.column];
        uint32_t ch = cell.accent >= 0 ? m_def.Accents()[cell.accent].spacing : cell.ch;
        if (!ch)
            continue;
        if (key->name == "space" && (p.column == kColBase || p.column == kColShift))
            continue;   // the space bar's own character needs no label
        std::string text = Shown(ch);
        bool word = ch == 0xA0 || ch == 0x202F || ch == 0xAD;
        double size = word ? 0.19 * u : big;
        DocColor ink = p.right ? kAltGrInk : kInk;
        DocFont font = kFontRegular;
        double bx = p.right ? x + w - pad : x + pad;
        double by = p.top ? y + 0.38 * u : y + h - 0.14 * u;
        if (cell.accent >= 0 && set == 1) {
            // A dead key: a tinted field behind the accent.
            double fw = 0.42 * u, fh = 0.4 * u;
            double fx = p.right ? x + w - fw - 0.03 * u : x + 0.03 * u;
            double fy = p.top ? y + 0.04 * u : y + h - fh - 0.04 * u;
            page.Rect(fx, fy, fw, fh, kDeadFill, NoColor(), 0, 0.06 * u);
            ink = kDeadInk;
            font = kFontBold;
        }
        page.Text(bx, by, text, font, size, ink, p.right ? kAlignRight : kAlignLeft);
    }
}

void CChart::DrawKeyboard(DocPage& page, int set, int variant, double x, double y, double u) const
{
    page.Rect(x - 0.1 * u, y - 0.1 * u, KeyboardWidth(u) + 0.2 * u, KeyboardHeight(u) + 0.2 * u, kBoardFill, Rgb(0xcccccc), 0.5, 0.12 * u);
    const std::vector<int>& place = m_def.Placement(variant);
    const std::vector<DefKey>& keys = m_def.Keys();
    for (int r = 0; r < 5; ++r) {
        double kx = x;
        for (size_t s = 0; s < kRows[r].count; ++s) {
            const Slot& slot = kRows[r].slots[s];
            const DefKey* key = nullptr;
            if (slot.scan == 0x39) {
                for (const DefKey& k : keys)
                    if (k.name == "space")
                        key = &k;
            } else if (slot.scan >= 0 && slot.scan < static_cast<int>(place.size()) && place[slot.scan] >= 0) {
                key = &keys[place[slot.scan]];
            }
            std::string name = slot.scan < 0 ? m_labels.Get(slot.name) : std::string();
            DrawKeyCap(page, set, key, name, kx, y + r * u, slot.width * u, u, u);
            kx += slot.width * u;
        }
    }
}

void CChart::DrawLegend(DocPage& page, double x, double y, double u) const
{
    // A sample key (the key of the letter a, wherever the variant puts it) with its four
    // characters, then what each place means.
    const DefKey* sample = nullptr;
    for (const DefKey& k : m_def.Keys())
        if (k.name == "a")
            sample = &k;
    const double text = 8.5, line = 12.5;
    page.Text(x, y - 10, m_labels.Get("legend.title"), kFontBold, 10.5, kInk);
    if (sample)
        DrawKeyCap(page, 0, sample, std::string(), x, y, u, u, u);
    double ty = y + u + 16;
    struct Place {
        int column;
        const char* what;
        DocColor ink;
    };
    const Place places[] = {{kColBase, "legend.base", kInk}, {kColShift, "Shift", kInk},
                            {kColAltGr, "AltGr", kAltGrInk}, {kColShiftAltGr, "Shift+AltGr", kAltGrInk}};
    for (const Place& p : places) {
        if (sample)
            page.Text(x + 6, ty, Utf8(sample->cells[p.column].ch), kFontRegular, 10, p.ink, kAlignCenter);
        std::string what = p.what;
        page.Text(x + 18, ty, what.compare(0, 7, "legend.") == 0 ? m_labels.Get(what) : what, kFontRegular, text, kInk);
        ty += line;
    }
    ty += 8;
    page.Rect(x, ty - 10, 13, 13, kDeadFill, NoColor(), 0, 2);
    page.Text(x + 6.5, ty + 1, "´", kFontBold, 11, kDeadInk, kAlignCenter);
    page.Text(x + 18, ty, m_labels.Get("legend.dead"), kFontRegular, text, kInk);
    ty += line;
    page.Text(x + 18, ty, m_labels.Get("legend.dead2"), kFontRegular, text, kInk);
    ty += line + 8;
    const char* const names[] = {"legend.nbsp", "legend.nnbsp", "legend.shy", "legend.oem102", "legend.altgr"};
    for (const char* n : names) {
        page.Text(x, ty, m_labels.Get(n), kFontRegular, text, kInk);
        ty += line;
        page.Text(x, ty, m_labels.Get(std::string(n) + ".2"), kFontRegular, text, kGrey);
        ty += line + 5;
    }
}

void CChart::PageHeading(DocPage& page, const std::string& title, const std::string& subtitle) const
{
    page.Text(30, 40, title, kFontBold, 17, kInk);
    page.Text(page.width - 30, 40, subtitle, kFontRegular, 11, kGrey, kAlignRight);
    page.Line(30, 48, page.width - 30, 48, Rgb(0xbbbbbb), 0.7);
}

void CChart::BuildDocument(DocDocument& doc) const
{
    doc.title = m_labels.Get("doc.title");
    doc.subject = m_labels.Get("doc.subject");
    const double u = 43;
    for (int v = 0; v < kLayoutVariants; ++v) {
        DocPage page;
        page.width = 841.89;
        page.height = 595.276;
        std::string variant = m_def.VariantTitle(v);
        PageHeading(page, m_labels.Get("doc.title") + " — " + variant, m_labels.Get("variant." + std::to_string(v)));
        DocOutline o;
        o.title = variant;
        o.y = 0;
        page.outline.push_back(o);
        double x = 36, y = 80;
        for (int set = 0; set < kLayoutSets; ++set) {
            std::string s = std::to_string(set);
            page.Text(x, y - 0.3 * u, m_labels.Get("set." + s), kFontBold, 11, kInk);
            page.Text(x + KeyboardWidth(u), y - 0.3 * u, m_labels.Get("set." + s + ".pl"), kFontRegular, 9.5, kGrey, kAlignRight);
            DrawKeyboard(page, set, v, x, y, u);
            y += KeyboardHeight(u) + 0.95 * u;
        }
        DrawLegend(page, x + KeyboardWidth(u) + 22, 84, 58);
        page.Text(page.width / 2, page.height - 18, m_labels.Get("doc.footer"), kFontRegular, 7.5, kGrey, kAlignCenter);
        doc.pages.push_back(page);
    }
    DrawDeadTables(doc);
}

void CChart::DrawDeadTables(DocDocument& doc) const
{
    // Group the dead-key entries by accent, in the order of the definition's accents.
    const std::vector<DefAccent>& accents = m_def.Accents();
    DocPage page;
    page.width = 841.89;
    page.height = 595.276;
    auto newPage = [&](bool first) {
        page = DocPage();
        page.width = 841.89;
        page.height = 595.276;
        PageHeading(page, m_labels.Get(first ? "dead.title" : "dead.title.more"), m_labels.Get("dead.title.pl"));
        if (first) {
            DocOutline o;
            o.title = m_labels.Get("dead.title");
            page.outline.push_back(o);
        }
    };
    newPage(true);
    double y = 66;
    page.Text(30, y, m_labels.Get("dead.intro"), kFontRegular, 9.5, kInk);
    y += 13;
    page.Text(30, y, m_labels.Get("dead.intro.pl"), kFontRegular, 9.5, kGrey);
    y += 22;
    const double cellW = 39, cellH = 17, left = 30;
    const int perRow = static_cast<int>((page.width - 2 * left) / cellW);
    for (size_t a = 0; a < accents.size(); ++a) {
        std::vector<KbdDeadEntry> entries;
        for (const KbdDeadEntry& d : m_dead)
            if (d.accent == accents[a].spacing)
                entries.push_back(d);
        if (entries.empty())
            continue;
        std::stable_sort(entries.begin(), entries.end(),
                         [](const KbdDeadEntry& l, const KbdDeadEntry& r) { return l.base < r.base; });
        int rows = (static_cast<int>(entries.size()) + perRow - 1) / perRow;
        double need = 20 + rows * cellH + 12;
        if (y + need > page.height - 30) {
            doc.pages.push_back(page);
            newPage(false);
            y = 72;
        }
        std::string head = Utf8(accents[a].spacing) + "  " + accents[a].title;
        page.Text(left, y, head, kFontBold, 11, kDeadInk);
        double hx = left + m_fonts.Width(kFontBold, 11, head) + 8;
        page.Text(hx, y, "(" + m_labels.Get("accent." + accents[a].name) + ")", kFontRegular, 10, kGrey);
        page.Text(page.width - left, y, AccentPlace(static_cast<int>(a)), kFontRegular, 10, kInk, kAlignRight);
        y += 6;
        for (size_t i = 0; i < entries.size(); ++i) {
            int col = static_cast<int>(i) % perRow, row = static_cast<int>(i) / perRow;
            double cx = left + col * cellW, cy = y + row * cellH;
            page.Rect(cx, cy, cellW - 2, cellH - 2, (row + col) % 2 ? Rgb(0xf7f7f7) : Rgb(0xffffff), Rgb(0xdddddd), 0.4);
            page.Text(cx + 4, cy + 11.5, Shown(entries[i].base), kFontRegular, 8.5, kGrey);
            page.Text(cx + cellW - 6, cy + 12, Utf8(entries[i].composed), kFontBold, 10.5, kInk, kAlignRight);
        }
        y += rows * cellH + 20;
    }
    page.Text(page.width / 2, page.height - 18, m_labels.Get("doc.footer"), kFontRegular, 7.5, kGrey, kAlignCenter);
    doc.pages.push_back(page);
}

bool CChart::CheckGlyphs(const DocDocument& doc, std::string& error) const
{
    for (size_t p = 0; p < doc.pages.size(); ++p) {
        for (const DocItem& i : doc.pages[p].items) {
            uint32_t missing = 0;
            if (i.kind == DocItem::kText && !m_fonts.Covers(i.font, i.text, missing)) {
                char b[16];
                std::snprintf(b, sizeof b, "U+%04X", missing);
                error = std::string("the font has no glyph for ") + b + " (page " + std::to_string(p + 1) + ")";
                return false;
            }
        }
    }
    if (!m_labels.Missing().empty()) {
        error = "chart text '" + m_labels.Missing() + "' is missing";
        return false;
    }
    return true;
}
