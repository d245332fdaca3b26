// kbddocs: the documents of the asset store, generated from the repository's sources.
//
//   kbddocs manual|chart|page DOCS LAYOUT UNICODEDATA FONTS OUT [PNGPREFIX]
//
// DOCS is the folder of manual.txt and chart.txt, LAYOUT the layout definition, UNICODEDATA
// the character database the layout compiler uses, FONTS the folder of the DejaVu faces.
// OUT is the PDF (manual, chart) or the HTML page (page). With PNGPREFIX, every drawn page is
// also written as PNGPREFIX-<n>.png, to look at.
// Exit codes: 0 written, 1 bad input (file and line named), 2 usage, 3 cannot write.
#include "Chart.h"
#include "Manual.h"
#include "Page.h"
#include "Render.h"

#include <fstream>
#include <iostream>

static int Usage()
{
    std::cerr << "usage: kbddocs manual|chart|page DOCS LAYOUT UNICODEDATA FONTS OUT [PNGPREFIX]\n";
    return 2;
}

static bool WritePngs(const DocDocument& doc, const CFonts& fonts, const std::string& prefix)
{
    for (size_t p = 0; p < doc.pages.size(); ++p) {
        std::string error;
        if (!WritePng(doc.pages[p], fonts, 1.5, prefix + "-" + std::to_string(p + 1) + ".png", error)) {
            std::cerr << "kbddocs: " << error << "\n";
            return false;
        }
    }
    return true;
}

int main(int argc, char** argv)
{
    if (argc != 7 && argc != 8)
        return Usage();
    const std::string kind = argv[1], docs = argv[2], layoutPath = argv[3], ucdPath = argv[4], fontDir = argv[5], out = argv[6];
    if (kind != "manual" && kind != "chart" && kind != "page")
        return Usage();

    CFonts fonts;
    if (!fonts.Load(fontDir + "/DejaVuSans.ttf", fontDir + "/DejaVuSans-Bold.ttf", fontDir + "/DejaVuSansMono.ttf")) {
        std::cerr << "kbddocs: " << fonts.Error() << "\n";
        return 1;
    }
    CUnicodeData ucd;
    if (!ucd.Load(ucdPath)) {
        std::cerr << "kbddocs: " << ucd.Error() << "\n";
        return 1;
    }
    CDefinition def;
    if (!def.Load(layoutPath)) {
        std::cerr << "kbddocs: " << def.Error() << "\n";
        return 1;
    }
    CLabels labels;
    if (!labels.Load(docs + "/chart.txt")) {
        std::cerr << "kbddocs: " << labels.Error() << "\n";
        return 1;
    }
    CChart chart(def, labels, fonts);
    std::string error;
    if (!chart.Prepare(ucd, error)) {
        std::cerr << "kbddocs: " << error << "\n";
        return 1;
    }

    DocDocument doc;
    if (kind == "manual") {
        CManual manual;
        if (!manual.Load(docs + "/manual.txt")) {
            std::cerr << "kbddocs: " << manual.Error() << "\n";
            return 1;
        }
        doc.title = manual.Blocks()[0].text;
        doc.subject = labels.Get("manual.subject");
        manual.BuildDocument(doc, fonts, chart);
    } else if (kind == "chart") {
        chart.BuildDocument(doc);
    }
    std::string html;
    if (kind == "page")
        html = BuildPage(chart, def, labels, doc);
    if (!chart.CheckGlyphs(doc, error)) {
        std::cerr << "kbddocs: " << docs << ": " << error << "\n";
        return 1;
    }

    if (kind == "page") {
        std::ofstream f(out, std::ios::binary);
        f << html;
        if (!f.flush()) {
            std::cerr << "kbddocs: " << out << ": cannot write\n";
            return 3;
        }
    } else if (!WritePdf(doc, fonts, out, error)) {
        std::cerr << "kbddocs: " << error << "\n";
        return 3;
    }
    if (argc == 8 && !WritePngs(doc, fonts, argv[7]))
        return 3;
    return 0;
}
