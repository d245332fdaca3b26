// A page as a list of drawing items in points (1/72 inch, origin top left), so that the same
// drawing can be written to a PDF, to a PNG and, as SVG, into the HTML page.
#ifndef KBD_DOCS_DISPLAYLIST_H
#define KBD_DOCS_DISPLAYLIST_H

#include <cstdint>
#include <string>
#include <vector>

enum DocFont { kFontRegular, kFontBold, kFontMono, kFontCount };
enum DocAlign { kAlignLeft, kAlignCenter, kAlignRight };

struct DocColor {
    uint8_t r = 0, g = 0, b = 0;
    bool none = false;
};

inline DocColor Rgb(uint32_t rgb) { DocColor c; c.r = rgb >> 16; c.g = (rgb >> 8) & 0xFF; c.b = rgb & 0xFF; return c; }
inline DocColor NoColor() { DocColor c; c.none = true; return c; }

struct DocItem {
    enum Kind { kRect, kText, kLine } kind = kRect;
    double x = 0, y = 0, w = 0, h = 0;   // rect: box; line: from (x, y) to (x + w, y + h); text: baseline point
    DocColor fill, stroke;
    double lineWidth = 0.5;
    double radius = 0;                   // rounded corners of a rect
    std::string text;                    // UTF-8
    DocFont font = kFontRegular;
    double size = 10;
    DocAlign align = kAlignLeft;
};

struct DocOutline {
    int level = 1;                       // 1 = top
    std::string title;
    double y = 0;                        // place on the page
};

struct DocPage {
    double width = 595.276, height = 841.89;   // A4
    std::vector<DocItem> items;
    std::vector<DocOutline> outline;

    void Rect(double x, double y, double w, double h, DocColor fill, DocColor stroke, double lineWidth = 0.5, double radius = 0);
    void Line(double x1, double y1, double x2, double y2, DocColor stroke, double lineWidth = 0.5);
    void Text(double x, double y, const std::string& text, DocFont font, double size, DocColor color, DocAlign align = kAlignLeft);
};

struct DocDocument {
    std::string title, subject;
    std::vector<DocPage> pages;
};

std::string Utf8(uint32_t cp);
// Decodes UTF-8 into code points; false on a malformed sequence.
bool DecodeUtf8(const std::string& text, std::vector<uint32_t>& out);

#endif
