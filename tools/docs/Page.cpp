#include "Page.h"

#include <algorithm>
#include <sstream>

std::string BuildPage(const CChart& chart, const CDefinition& def, const CLabels& labels, DocDocument& drawn)
{
    const double u = 43;
    std::ostringstream o;
    o << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
      << "<title>" << XmlEscape(labels.Get("doc.title")) << "</title>\n<style>\n"
      << "body{font-family:\"DejaVu Sans\",Verdana,Arial,sans-serif;color:#151515;margin:2em auto;max-width:72em;padding:0 1em;line-height:1.45}\n"
      << "h1{font-size:1.6em;border-bottom:2px solid #1a56b0;padding-bottom:.2em}\n"
      << "h2{font-size:1.25em;margin-top:2em;color:#1a56b0}\nh3{font-size:1em;margin:1.2em 0 .3em}\n"
      << ".pl{color:#666}\nsvg.chart{width:100%;height:auto;max-width:60em;display:block}\n"
      << "svg .f{font-family:\"DejaVu Sans\",Verdana,Arial,sans-serif}\nsvg .b{font-weight:bold}\n"
      << "svg .m{font-family:\"DejaVu Sans Mono\",monospace}\n"
      << "table.dead{border-collapse:collapse;margin:.3em 0 1em}\n"
      << "table.dead td{border:1px solid #ddd;padding:.1em .4em;text-align:center;min-width:2.2em}\n"
      << "table.dead td.b{color:#666;font-size:.85em}\ntable.dead td.c{font-weight:bold;font-size:1.1em}\n"
      << ".legend{float:right;width:14em;margin:0 0 1em 1em}\n"
      << "</style>\n</head>\n<body>\n";
    o << "<h1>" << XmlEscape(labels.Get("doc.title")) << "</h1>\n";
    o << "<p>" << XmlEscape(labels.Get("page.intro")) << "</p>\n";
    o << "<p class=\"pl\" lang=\"pl\">" << XmlEscape(labels.Get("page.intro.pl")) << "</p>\n";

    DocPage legend;
    chart.DrawLegend(legend, 0, 0, 70);
    drawn.pages.push_back(legend);
    o << "<div class=\"legend\">\n" << SvgOf(legend, -4, -24, 190, 390, labels.Get("legend.title")) << "</div>\n";

    for (int v = 0; v < kLayoutVariants; ++v) {
        o << "<h2 id=\"variant" << v << "\">" << XmlEscape(def.VariantTitle(v)) << " <span class=\"pl\">"
          << XmlEscape(labels.Get("variant." + std::to_string(v))) << "</span></h2>\n";
        for (int set = 0; set < kLayoutSets; ++set) {
            std::string s = std::to_string(set);
            o << "<h3>" << XmlEscape(labels.Get("set." + s)) << " <span class=\"pl\" lang=\"pl\">"
              << XmlEscape(labels.Get("set." + s + ".pl")) << "</span></h3>\n";
            DocPage page;
            page.width = chart.KeyboardWidth(u) + 10;
            page.height = chart.KeyboardHeight(u) + 10;
            chart.DrawKeyboard(page, set, v, 5, 5, u);
            drawn.pages.push_back(page);
            o << SvgOf(page, 0, 0, page.width, page.height, def.DisplayName(set, v));
        }
    }

    o << "<h2 id=\"dead\">" << XmlEscape(labels.Get("dead.title")) << " <span class=\"pl\">"
      << XmlEscape(labels.Get("dead.title.pl")) << "</span></h2>\n";
    o << "<p>" << XmlEscape(labels.Get("dead.intro")) << "</p>\n<p class=\"pl\" lang=\"pl\">"
      << XmlEscape(labels.Get("dead.intro.pl")) << "</p>\n";
    const std::vector<DefAccent>& accents = def.Accents();
    for (size_t a = 0; a < accents.size(); ++a) {
        std::vector<KbdDeadEntry> entries;
        for (const KbdDeadEntry& d : chart.DeadKeys())
            if (d.accent == accents[a].spacing)
                entries.push_back(d);
        if (entries.empty())
            continue;
        std::stable_sort(entries.begin(), entries.end(),
                         [](const KbdDeadEntry& l, const KbdDeadEntry& r) { return l.base < r.base; });
        o << "<h3>" << XmlEscape(Utf8(accents[a].spacing)) << " " << XmlEscape(accents[a].title) << " <span class=\"pl\">("
          << XmlEscape(labels.Get("accent." + accents[a].name)) << ")</span> — " << XmlEscape(chart.AccentPlace(static_cast<int>(a)))
          << "</h3>\n<table class=\"dead\">\n";
        const size_t perRow = 16;
        for (size_t i = 0; i < entries.size(); i += perRow) {
            o << "<tr>";
            for (size_t k = i; k < i + perRow && k < entries.size(); ++k)
                o << "<td class=\"b\">" << XmlEscape(CChart::Shown(entries[k].base)) << "</td>";
            o << "</tr>\n<tr>";
            for (size_t k = i; k < i + perRow && k < entries.size(); ++k)
                o << "<td class=\"c\">" << XmlEscape(Utf8(entries[k].composed)) << "</td>";
            o << "</tr>\n";
        }
        o << "</table>\n";
    }
    o << "<p class=\"pl\">" << XmlEscape(labels.Get("doc.footer")) << "</p>\n</body>\n</html>\n";
    return o.str();
}
