#include "Render.h"

#include <cairo.h>
#include <cairo-ft.h>
#include <cairo-pdf.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <cstdio>
#include <sstream>

// The date written into every PDF: a fixed moment, so that builds are byte for byte the same.
static const char kFixedDate[] = "2020-01-01T00:00:00Z";

// Unhinted outlines and metrics: the widths used to set lines must be those of the PDF, not
// rounded to whole points.
static void Unhinted(cairo_t* cr)
{
    cairo_font_options_t* o = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(o, CAIRO_HINT_METRICS_OFF);
    cairo_font_options_set_hint_style(o, CAIRO_HINT_STYLE_NONE);
    cairo_set_font_options(cr, o);
    cairo_font_options_destroy(o);
}

CFonts::CFonts() {}

CFonts::~CFonts()
{
    for (int f = 0; f < kFontCount; ++f) {
        if (m_cairo[f])
            cairo_font_face_destroy(m_cairo[f]);
    }
    // cairo keeps font faces in caches beyond their last reference; reset it before the
    // FreeType faces go.
    cairo_debug_reset_static_data();
    for (int f = 0; f < kFontCount; ++f) {
        if (m_ft[f])
            FT_Done_Face(static_cast<FT_Face>(m_ft[f]));
    }
    if (m_library)
        FT_Done_FreeType(static_cast<FT_Library>(m_library));
}

bool CFonts::Load(const std::string& regular, const std::string& bold, const std::string& mono)
{
    FT_Library lib = nullptr;
    if (FT_Init_FreeType(&lib)) {
        m_error = "cannot start FreeType";
        return false;
    }
    m_library = lib;
    const std::string paths[kFontCount] = {regular, bold, mono};
    for (int f = 0; f < kFontCount; ++f) {
        FT_Face face = nullptr;
        if (FT_New_Face(lib, paths[f].c_str(), 0, &face)) {
            m_error = paths[f] + ": cannot read the font";
            return false;
        }
        m_ft[f] = face;
        m_cairo[f] = cairo_ft_font_face_create_for_ft_face(face, 0);
        if (cairo_font_face_status(m_cairo[f]) != CAIRO_STATUS_SUCCESS) {
            m_error = paths[f] + ": cairo cannot use the font";
            return false;
        }
    }
    return true;
}

double CFonts::Width(DocFont font, double size, const std::string& text) const
{
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_A8, 1, 1);
    cairo_t* cr = cairo_create(s);
    Unhinted(cr);
    cairo_set_font_face(cr, m_cairo[font]);
    cairo_set_font_size(cr, size);
    cairo_text_extents_t e;
    cairo_text_extents(cr, text.c_str(), &e);
    cairo_destroy(cr);
    cairo_surface_destroy(s);
    return e.x_advance;
}

bool CFonts::Covers(DocFont font, const std::string& text, uint32_t& missing) const
{
    std::vector<uint32_t> cps;
    DecodeUtf8(text, cps);
    for (uint32_t cp : cps) {
        if (cp >= 0x20 && FT_Get_Char_Index(static_cast<FT_Face>(m_ft[font]), cp) == 0) {
            missing = cp;
            return false;
        }
    }
    return true;
}

static void SetColor(cairo_t* cr, DocColor c)
{
    cairo_set_source_rgb(cr, c.r / 255.0, c.g / 255.0, c.b / 255.0);
}

static void RoundedRect(cairo_t* cr, double x, double y, double w, double h, double r)
{
    if (r <= 0) {
        cairo_rectangle(cr, x, y, w, h);
        return;
    }
    cairo_new_sub_path(cr);
    cairo_arc(cr, x + w - r, y + r, r, -M_PI / 2, 0);
    cairo_arc(cr, x + w - r, y + h - r, r, 0, M_PI / 2);
    cairo_arc(cr, x + r, y + h - r, r, M_PI / 2, M_PI);
    cairo_arc(cr, x + r, y + r, r, M_PI, 3 * M_PI / 2);
    cairo_close_path(cr);
}

static void DrawPage(cairo_t* cr, const DocPage& page, const CFonts& fonts)
{
    Unhinted(cr);
    for (const DocItem& i : page.items) {
        switch (i.kind) {
        case DocItem::kRect:
            RoundedRect(cr, i.x, i.y, i.w, i.h, i.radius);
            if (!i.fill.none) {
                SetColor(cr, i.fill);
                if (i.stroke.none)
                    cairo_fill(cr);
                else
                    cairo_fill_preserve(cr);
            }
            if (!i.stroke.none) {
                SetColor(cr, i.stroke);
                cairo_set_line_width(cr, i.lineWidth);
                cairo_stroke(cr);
            }
            cairo_new_path(cr);
            break;
        case DocItem::kLine:
            cairo_move_to(cr, i.x, i.y);
            cairo_line_to(cr, i.x + i.w, i.y + i.h);
            SetColor(cr, i.stroke);
            cairo_set_line_width(cr, i.lineWidth);
            cairo_stroke(cr);
            break;
        case DocItem::kText: {
            cairo_set_font_face(cr, fonts.Face(i.font));
            cairo_set_font_size(cr, i.size);
            double x = i.x;
            if (i.align != kAlignLeft) {
                cairo_text_extents_t e;
                cairo_text_extents(cr, i.text.c_str(), &e);
                x -= i.align == kAlignCenter ? e.x_advance / 2 : e.x_advance;
            }
            SetColor(cr, i.fill);
            cairo_move_to(cr, x, i.y);
            cairo_show_text(cr, i.text.c_str());
            cairo_new_path(cr);
            break;
        }
        }
    }
}

bool WritePdf(const DocDocument& doc, const CFonts& fonts, const std::string& path, std::string& error)
{
    if (doc.pages.empty()) {
        error = path + ": no pages";
        return false;
    }
    cairo_surface_t* s = cairo_pdf_surface_create(path.c_str(), doc.pages[0].width, doc.pages[0].height);
    cairo_pdf_surface_restrict_to_version(s, CAIRO_PDF_VERSION_1_5);
    cairo_pdf_surface_set_metadata(s, CAIRO_PDF_METADATA_TITLE, doc.title.c_str());
    cairo_pdf_surface_set_metadata(s, CAIRO_PDF_METADATA_SUBJECT, doc.subject.c_str());
    cairo_pdf_surface_set_metadata(s, CAIRO_PDF_METADATA_CREATOR, "kbddocs");
    cairo_pdf_surface_set_metadata(s, CAIRO_PDF_METADATA_CREATE_DATE, kFixedDate);
    cairo_pdf_surface_set_metadata(s, CAIRO_PDF_METADATA_MOD_DATE, kFixedDate);
    cairo_t* cr = cairo_create(s);
    // Outline entries form a tree: remember the last entry id of each level.
    int parents[4] = {CAIRO_PDF_OUTLINE_ROOT, 0, 0, 0};
    for (size_t p = 0; p < doc.pages.size(); ++p) {
        const DocPage& page = doc.pages[p];
        cairo_pdf_surface_set_size(s, page.width, page.height);
        DrawPage(cr, page, fonts);
        for (const DocOutline& o : page.outline) {
            int level = o.level < 1 ? 1 : o.level > 3 ? 3 : o.level;
            char link[64];
            std::snprintf(link, sizeof link, "page=%d pos=[0 %.0f]", static_cast<int>(p + 1), o.y);
            int id = cairo_pdf_surface_add_outline(s, parents[level - 1], o.title.c_str(), link,
                                                   level == 1 ? CAIRO_PDF_OUTLINE_FLAG_OPEN : static_cast<cairo_pdf_outline_flags_t>(0));
            parents[level] = id;
        }
        cairo_show_page(cr);
    }
    cairo_destroy(cr);
    cairo_surface_finish(s);
    cairo_status_t st = cairo_surface_status(s);
    cairo_surface_destroy(s);
    if (st != CAIRO_STATUS_SUCCESS) {
        error = path + ": " + cairo_status_to_string(st);
        return false;
    }
    return true;
}

bool WritePng(const DocPage& page, const CFonts& fonts, double scale, const std::string& path, std::string& error)
{
    int w = static_cast<int>(std::ceil(page.width * scale)), h = static_cast<int>(std::ceil(page.height * scale));
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, w, h);
    cairo_t* cr = cairo_create(s);
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_scale(cr, scale, scale);
    DrawPage(cr, page, fonts);
    cairo_destroy(cr);
    cairo_status_t st = cairo_surface_write_to_png(s, path.c_str());
    cairo_surface_destroy(s);
    if (st != CAIRO_STATUS_SUCCESS) {
        error = path + ": " + cairo_status_to_string(st);
        return false;
    }
    return true;
}

std::string XmlEscape(const std::string& text)
{
    std::string out;
    for (char c : text) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

static std::string Num(double v)
{
    char b[32];
    std::snprintf(b, sizeof b, "%.1f", v);
    std::string s = b;
    if (s.size() > 2 && s.compare(s.size() - 2, 2, ".0") == 0)
        s.resize(s.size() - 2);
    return s;
}

static std::string Css(DocColor c)
{
    if (c.none)
        return "none";
    char b[8];
    std::snprintf(b, sizeof b, "#%02x%02x%02x", c.r, c.g, c.b);
    return b;
}

std::string SvgOf(const DocPage& page, double x, double y, double width, double height, const std::string& label)
{
    static const char* const kFamily[kFontCount] = {"f", "f b", "m"};
    std::ostringstream o;
    o << "<svg class=\"chart\" viewBox=\"" << Num(x) << ' ' << Num(y) << ' ' << Num(width) << ' ' << Num(height)
      << "\" role=\"img\" aria-label=\"" << XmlEscape(label) << "\">\n";
    for (const DocItem& i : page.items) {
        bool inside = i.x >= x && i.x <= x + width && i.y >= y && i.y <= y + height;
        if (!inside)
            continue;
        switch (i.kind) {
        case DocItem::kRect:
            o << "<rect x=\"" << Num(i.x) << "\" y=\"" << Num(i.y) << "\" width=\"" << Num(i.w) << "\" height=\"" << Num(i.h) << '"';
            if (i.radius > 0)
                o << " rx=\"" << Num(i.radius) << '"';
            o << " fill=\"" << Css(i.fill) << '"';
            if (!i.stroke.none)
                o << " stroke=\"" << Css(i.stroke) << "\" stroke-width=\"" << Num(i.lineWidth) << '"';
            o << "/>\n";
            break;
        case DocItem::kLine:
            o << "<line x1=\"" << Num(i.x) << "\" y1=\"" << Num(i.y) << "\" x2=\"" << Num(i.x + i.w) << "\" y2=\"" << Num(i.y + i.h)
              << "\" stroke=\"" << Css(i.stroke) << "\" stroke-width=\"" << Num(i.lineWidth) << "\"/>\n";
            break;
        case DocItem::kText:
            o << "<text class=\"" << kFamily[i.font] << "\" x=\"" << Num(i.x) << "\" y=\"" << Num(i.y) << "\" font-size=\"" << Num(i.size) << '"';
            if (i.align != kAlignLeft)
                o << " text-anchor=\"" << (i.align == kAlignCenter ? "middle" : "end") << '"';
            o << " fill=\"" << Css(i.fill) << "\">" << XmlEscape(i.text) << "</text>\n";
            break;
        }
    }
    o << "</svg>\n";
    return o.str();
}
