// Fonts, text measurement and the writers of a drawn document: PDF and PNG through cairo (the
// fonts embedded as subsets, so every character of the layout shows), SVG for the HTML page.
#ifndef KBD_DOCS_RENDER_H
#define KBD_DOCS_RENDER_H

#include "DisplayList.h"

#include <string>

typedef struct _cairo_font_face cairo_font_face_t;

class CFonts {
public:
    CFonts();
    ~CFonts();
    CFonts(const CFonts&) = delete;
    CFonts& operator=(const CFonts&) = delete;

    // Loads the three TrueType faces; false with Error() naming the file.
    bool Load(const std::string& regular, const std::string& bold, const std::string& mono);
    const std::string& Error() const { return m_error; }

    double Width(DocFont font, double size, const std::string& text) const;
    // True when the face has a glyph for every character of the text; else the first missing one.
    bool Covers(DocFont font, const std::string& text, uint32_t& missing) const;
    cairo_font_face_t* Face(DocFont font) const { return m_cairo[font]; }

private:
    void* m_library = nullptr;
    void* m_ft[kFontCount] = {nullptr, nullptr, nullptr};
    cairo_font_face_t* m_cairo[kFontCount] = {nullptr, nullptr, nullptr};
    std::string m_error;
};

// Writes the document as PDF with fixed dates, so that the same input gives the same bytes.
bool WritePdf(const DocDocument& doc, const CFonts& fonts, const std::string& path, std::string& error);
// Writes one page as PNG at the given pixels per point.
bool WritePng(const DocPage& page, const CFonts& fonts, double scale, const std::string& path, std::string& error);
// The page as an inline SVG element (text stays text); the box is x, y, width, height in points.
std::string SvgOf(const DocPage& page, double x, double y, double width, double height, const std::string& label);

std::string XmlEscape(const std::string& text);

#endif
