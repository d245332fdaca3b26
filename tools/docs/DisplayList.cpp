#include "DisplayList.h"

void DocPage::Rect(double x, double y, double w, double h, DocColor fill, DocColor stroke, double lineWidth, double radius)
{
    DocItem i;
    i.kind = DocItem::kRect;
    i.x = x; i.y = y; i.w = w; i.h = h;
    i.fill = fill; i.stroke = stroke; i.lineWidth = lineWidth; i.radius = radius;
    items.push_back(i);
}

void DocPage::Line(double x1, double y1, double x2, double y2, DocColor stroke, double lineWidth)
{
    DocItem i;
    i.kind = DocItem::kLine;
    i.x = x1; i.y = y1; i.w = x2 - x1; i.h = y2 - y1;
    i.fill = NoColor(); i.stroke = stroke; i.lineWidth = lineWidth;
    items.push_back(i);
}

void DocPage::Text(double x, double y, const std::string& text, DocFont font, double size, DocColor color, DocAlign align)
{
    DocItem i;
    i.kind = DocItem::kText;
    i.x = x; i.y = y;
    i.text = text; i.font = font; i.size = size; i.fill = color; i.align = align;
    i.stroke = NoColor();
    items.push_back(i);
}

std::string Utf8(uint32_t cp)
{
    std::string s;
    if (cp < 0x80) {
        s += static_cast<char>(cp);
    } else if (cp < 0x800) {
        s += static_cast<char>(0xC0 | (cp >> 6));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        s += static_cast<char>(0xE0 | (cp >> 12));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        s += static_cast<char>(0xF0 | (cp >> 18));
        s += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        s += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        s += static_cast<char>(0x80 | (cp & 0x3F));
    }
    return s;
}

bool DecodeUtf8(const std::string& text, std::vector<uint32_t>& out)
{
    for (size_t i = 0; i < text.size();) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        int n = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : -1;
        if (n < 0 || i + n >= text.size())
            return false;
        uint32_t cp = n == 0 ? c : n == 1 ? (c & 0x1F) : n == 2 ? (c & 0x0F) : (c & 0x07);
        for (int k = 1; k <= n; ++k) {
            unsigned char d = static_cast<unsigned char>(text[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        out.push_back(cp);
        i += n + 1;
    }
    return true;
}
