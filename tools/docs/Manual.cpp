#include "Manual.h"

#include <algorithm>
#include <fstream>

namespace {

const DocColor kInk = Rgb(0x151515);
const DocColor kGrey = Rgb(0x666666);
const DocColor kAccent = Rgb(0x1a56b0);

const double kPageW = 595.276, kPageH = 841.89;
const double kLeft = 64, kRight = 64, kTop = 64, kBottom = 70;
const double kBody = 10.5, kLeading = 15;

// Text taken as it is, with the markup characters escaped.
std::string Literal(const std::string& text)
{
    std::string out;
    for (char c : text) {
        if (c == '*' || c == '`' || c == '\\')
            out += '\\';
        out += c;
    }
    return out;
}

std::string Trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t\r"), e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

// A piece of a word in one font.
struct Piece {
    std::string text;
    DocFont font;
};
typedef std::vector<Piece> Word;

// Splits marked-up text into words of styled pieces.
std::vector<Word> Words(const std::string& text)
{
    std::vector<Word> words;
    Word cur;
    std::string piece;
    DocFont font = kFontRegular;
    auto flushPiece = [&]() {
        if (!piece.empty())
            cur.push_back({piece, font});
        piece.clear();
    };
    bool escaped = false;
    for (char c : text) {
        if (escaped) {
            piece += c;
            escaped = false;
        } else if (c == '\\') {
            escaped = true;
        } else if (c == '*' && font != kFontMono) {
            flushPiece();
            font = font == kFontBold ? kFontRegular : kFontBold;
        } else if (c == '`') {
            flushPiece();
            font = font == kFontMono ? kFontRegular : kFontMono;
        } else if (c == ' ' && font != kFontMono) {
            flushPiece();
            if (!cur.empty())
                words.push_back(cur);
            cur.clear();
        } else {
            piece += c;
        }
    }
    flushPiece();
    if (!cur.empty())
        words.push_back(cur);
    return words;
}

class CSetter {
public:
    CSetter(DocDocument& doc, const CFonts& fonts) : m_doc(doc), m_fonts(fonts) {}

    void NewPage()
    {
        Finish();
        DocPage p;
        p.width = kPageW;
        p.height = kPageH;
        m_doc.pages.push_back(p);
        m_y = kTop;
        m_open = true;
    }
    void Finish()
    {
        if (!m_open)
            return;
        DocPage& p = Page();
        int n = static_cast<int>(m_doc.pages.size());
        p.Line(kLeft, kPageH - 48, kPageW - kRight, kPageH - 48, Rgb(0xcccccc), 0.5);
        p.Text(kLeft, kPageH - 36, m_doc.title, kFontRegular, 8, kGrey);
        p.Text(kPageW - kRight, kPageH - 36, std::to_string(n), kFontRegular, 8, kGrey, kAlignRight);
        m_open = false;
    }
    DocPage& Page() { return m_doc.pages.back(); }
    int PageNumber() const { return static_cast<int>(m_doc.pages.size()); }
    double& Y() { return m_y; }
    void Need(double height)
    {
        if (!m_open || m_y + height > kPageH - kBottom)
            NewPage();
    }

    // Sets words into lines of the given width; returns the number of lines.
    void Flow(const std::string& text, double x, double width, double size, DocColor color, DocFont base = kFontRegular)
    {
        std::vector<Word> words = Words(text);
        const double space = m_fonts.Width(kFontRegular, size, " ");
        std::vector<Word> line;
        double lineW = 0;
        auto wordWidth = [&](const Word& w) {
            double sum = 0;
            for (const Piece& p : w)
                sum += m_fonts.Width(p.font == kFontRegular ? base : p.font, size, p.text);
            return sum;
        };
        auto emit = [&]() {
            Need(kLeading * size / kBody);
            double cx = x;
            for (const Word& w : line) {
                for (const Piece& p : w) {
                    DocFont f = p.font == kFontRegular ? base : p.font;
                    Page().Text(cx, m_y + size, p.text, f, size, color);
                    cx += m_fonts.Width(f, size, p.text);
                }
                cx += space;
            }
            m_y += kLeading * size / kBody;
            line.clear();
            lineW = 0;
        };
        for (const Word& w : words) {
            double ww = wordWidth(w);
            if (!line.empty() && lineW + space + ww > width)
                emit();
            lineW += (line.empty() ? 0 : space) + ww;
            line.push_back(w);
        }
        if (!line.empty())
            emit();
    }

private:
    DocDocument& m_doc;
    const CFonts& m_fonts;
    double m_y = kTop;
    bool m_open = false;
};

struct TocEntry {
    int level;
    std::string title;
    int page;
};

void Set(DocDocument& doc, const CFonts& fonts, const CChart& chart, const std::vector<ManualBlock>& blocks,
         std::vector<TocEntry>& toc)
{
    std::vector<TocEntry> found;
    CSetter s(doc, fonts);
    const double width = kPageW - kLeft - kRight;
    bool anyChapter = false;
    ManualBlock::Kind previous = ManualBlock::kTitle;
    for (const ManualBlock& b : blocks) {
        switch (b.kind) {
        case ManualBlock::kTitle:
            s.Need(120);
            s.Y() += 50;
            s.Flow(b.text, kLeft, width, 24, kInk, kFontBold);
            s.Y() += 4;
            s.Page().Line(kLeft, s.Y(), kPageW - kRight, s.Y(), kAccent, 1.5);
            s.Y() += 10;
            break;
        case ManualBlock::kSubtitle:
            s.Flow(b.text, kLeft, width, 13, kGrey);
            s.Y() += 12;
            break;
        case ManualBlock::kChapter: {
            // A chapter starts a new page unless most of the page is still free.
            if (anyChapter && s.Y() > kTop + (kPageH - kTop - kBottom) * 0.45)
                s.NewPage();
            else
                s.Need(120);
            if (s.Y() > kTop + 1)
                s.Y() += 16;
            anyChapter = true;
            s.Y() += 14;
            s.Page().Text(kLeft, s.Y() + 18, b.text, kFontBold, 18, kAccent);
            DocOutline o;
            o.level = 1;
            o.title = b.text;
            o.y = s.Y() - 10;
            s.Page().outline.push_back(o);
            found.push_back({1, b.text, s.PageNumber()});
            s.Y() += 36;
            break;
        }
        case ManualBlock::kSection: {
            s.Need(60);
            s.Y() += 8;
            s.Page().Text(kLeft, s.Y() + 13, b.text, kFontBold, 12.5, kInk);
            DocOutline o;
            o.level = 2;
            o.title = b.text;
            o.y = s.Y() - 6;
            s.Page().outline.push_back(o);
            found.push_back({2, b.text, s.PageNumber()});
            s.Y() += 22;
            break;
        }
        case ManualBlock::kParagraph:
            if (previous == ManualBlock::kItem)
                s.Y() += 5;
            s.Flow(b.text, kLeft, width, kBody, kInk);
            s.Y() += 7;
            break;
        case ManualBlock::kItem: {
            s.Need(kLeading);
            s.Page().Text(kLeft + 6, s.Y() + kBody, "•", kFontRegular, kBody, kAccent);
            s.Flow(b.text, kLeft + 18, width - 18, kBody, kInk);
            s.Y() += 3;
            break;
        }
        case ManualBlock::kContents: {
            s.Need(40);
            s.Page().Text(kLeft, s.Y() + 13, "Contents", kFontBold, 12.5, kInk);
            s.Y() += 26;
            for (const TocEntry& e : toc) {
                s.Need(kLeading);
                double x = kLeft + (e.level == 1 ? 0 : 16);
                DocFont f = e.level == 1 ? kFontBold : kFontRegular;
                s.Page().Text(x, s.Y() + kBody, e.title, f, kBody, kInk);
                std::string num = std::to_string(e.page);
                double tw = fonts.Width(f, kBody, e.title);
                double dots = fonts.Width(kFontRegular, kBody, ". ");
                std::string leader;
                for (double dx = x + tw + 8; dx < kPageW - kRight - 24; dx += dots)
                    leader += ". ";
                s.Page().Text(kPageW - kRight - 22, s.Y() + kBody, leader, kFontRegular, kBody, Rgb(0xaaaaaa), kAlignRight);
                s.Page().Text(kPageW - kRight, s.Y() + kBody, num, f, kBody, kInk, kAlignRight);
                s.Y() += kLeading + (e.level == 1 ? 2 : 0);
            }
            s.Y() += 8;
            break;
        }
        case ManualBlock::kChart: {
            double u = width / chart.KeyboardWidth(1);
            u *= 0.97;
            double h = chart.KeyboardHeight(u) + 0.4 * u;
            s.Need(h + 10);
            double x = kLeft + (width - chart.KeyboardWidth(u)) / 2;
            chart.DrawKeyboard(s.Page(), b.set, b.variant, x, s.Y() + 0.15 * u, u);
            s.Y() += h + 6;
            break;
        }
        case ManualBlock::kAccents: {
            // One item per accent key: its name, the accent, sample letters and its place.
            const std::vector<DefAccent>& accents = chart.Definition().Accents();
            for (size_t a = 0; a < accents.size(); ++a) {
                // Sample letters: the accented forms of a-z, the commonest (lowest code) first.
                std::vector<uint16_t> composed;
                for (const KbdDeadEntry& d : chart.DeadKeys())
                    if (d.accent == accents[a].spacing && d.base >= 'a' && d.base <= 'z')
                        composed.push_back(d.composed);
                std::sort(composed.begin(), composed.end());
                std::string samples;
                for (size_t i = 0; i < composed.size() && i < 9; ++i)
                    samples += (i ? " " : "") + Utf8(composed[i]);
                std::string text = "*" + accents[a].title + "* " + Literal(Utf8(accents[a].spacing)) + " (" + samples +
                                   "): " + Literal(chart.AccentPlace(static_cast<int>(a)));
                s.Need(kLeading);
                s.Page().Text(kLeft + 6, s.Y() + kBody, "•", kFontRegular, kBody, kAccent);
                s.Flow(text, kLeft + 18, width - 18, kBody, kInk);
                s.Y() += 3;
            }
            break;
        }
        case ManualBlock::kLegend: {
            const double u = 62, height = u + 300;
            s.Need(height);
            chart.DrawLegend(s.Page(), kLeft + 10, s.Y() + 24, u);
            s.Y() += height;
            break;
        }
        }
        previous = b.kind;
    }
    s.Finish();
    toc = found;
}

} // namespace

bool CManual::Load(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        m_error = path + ": cannot read";
        return false;
    }
    std::string raw;
    int n = 0;
    bool open = false;   // a paragraph or item that further lines continue
    while (std::getline(in, raw)) {
        ++n;
        std::string line = Trim(raw);
        if (line.empty() || line.compare(0, 2, "//") == 0) {
            open = open && !line.empty();
            continue;
        }
        ManualBlock b;
        b.line = n;
        if (line.compare(0, 3, "%% ") == 0) {
            b.kind = ManualBlock::kSubtitle;
            b.text = Trim(line.substr(3));
        } else if (line.compare(0, 2, "% ") == 0) {
            b.kind = ManualBlock::kTitle;
            b.text = Trim(line.substr(2));
        } else if (line.compare(0, 3, "## ") == 0) {
            b.kind = ManualBlock::kSection;
            b.text = Trim(line.substr(3));
        } else if (line.compare(0, 2, "# ") == 0) {
            b.kind = ManualBlock::kChapter;
            b.text = Trim(line.substr(2));
        } else if (line.compare(0, 2, "- ") == 0) {
            b.kind = ManualBlock::kItem;
            b.text = Trim(line.substr(2));
        } else if (line[0] == '@') {
            if (line == "@contents") {
                b.kind = ManualBlock::kContents;
            } else if (line == "@legend") {
                b.kind = ManualBlock::kLegend;
            } else if (line == "@accents") {
                b.kind = ManualBlock::kAccents;
            } else if (line.compare(0, 7, "@chart ") == 0 && line.size() == 10 && line[7] >= '0' &&
                       line[7] < '0' + kLayoutVariants && line[8] == ' ' && line[9] >= '0' && line[9] < '0' + kLayoutSets) {
                b.kind = ManualBlock::kChart;
                b.variant = line[7] - '0';
                b.set = line[9] - '0';
            } else {
                m_error = path + ":" + std::to_string(n) + ": unknown directive '" + line + "'";
                return false;
            }
            m_blocks.push_back(b);
            open = false;
            continue;
        } else if (open) {
            m_blocks.back().text += " " + line;
            continue;
        } else {
            b.kind = ManualBlock::kParagraph;
            b.text = line;
        }
        open = b.kind == ManualBlock::kParagraph || b.kind == ManualBlock::kItem;
        m_blocks.push_back(b);
    }
    for (const ManualBlock& b : m_blocks) {
        size_t stars = 0, ticks = 0;
        for (size_t i = 0; i < b.text.size(); ++i) {
            if (b.text[i] == '\\') {
                ++i;
                continue;
            }
            stars += b.text[i] == '*';
            ticks += b.text[i] == '`';
        }
        if (stars % 2 || ticks % 2) {
            m_error = path + ":" + std::to_string(b.line) + ": unbalanced * or `";
            return false;
        }
    }
    if (m_blocks.empty()) {
        m_error = path + ": empty manual";
        return false;
    }
    return true;
}

void CManual::BuildDocument(DocDocument& doc, const CFonts& fonts, const CChart& chart) const
{
    // Two passes: the first finds the pages of the headings for the table of contents, whose
    // size does not depend on the numbers.
    std::vector<TocEntry> toc;
    for (const ManualBlock& b : m_blocks) {
        if (b.kind == ManualBlock::kChapter || b.kind == ManualBlock::kSection)
            toc.push_back({b.kind == ManualBlock::kChapter ? 1 : 2, b.text, 0});
    }
    DocDocument first = doc;
    Set(first, fonts, chart, m_blocks, toc);
    std::vector<TocEntry> again = toc;
    Set(doc, fonts, chart, m_blocks, again);
}
