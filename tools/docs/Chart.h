// The keyboard chart: every variant and set of the layout, every level, drawn from the layout
// definition through the layout compiler's own parser and table builder, so the chart shows
// exactly what the libraries type.
#ifndef KBD_DOCS_CHART_H
#define KBD_DOCS_CHART_H

#include "Definition.h"
#include "DisplayList.h"
#include "Render.h"

#include <map>
#include <string>

// The chart's own words, "key text" lines of content/docs/chart.txt.
class CLabels {
public:
    bool Load(const std::string& path);
    const std::string& Error() const { return m_error; }
    // The text of a key; a missing key is an error reported by Missing().
    const std::string& Get(const std::string& key) const;
    const std::string& Missing() const { return m_missing; }

private:
    std::map<std::string, std::string> m_text;
    std::string m_error;
    mutable std::string m_missing;
};

class CChart {
public:
    CChart(CDefinition& def, const CLabels& labels, const CFonts& fonts);
    // Builds the dead-key tables of set 1 (through the compiler's table builder).
    bool Prepare(const CUnicodeData& ucd, std::string& error);

    // One keyboard of (set, variant) with its top left corner at (x, y) and key pitch u.
    void DrawKeyboard(DocPage& page, int set, int variant, double x, double y, double u) const;
    double KeyboardWidth(double u) const { return 15 * u; }
    double KeyboardHeight(double u) const { return 5 * u; }
    // The key that explains the four places of a key cap.
    void DrawLegend(DocPage& page, double x, double y, double u) const;
    // The chart document: one page per variant with both sets, then the dead-key tables.
    void BuildDocument(DocDocument& doc) const;
    // Checks that the fonts can show every character of the chart; false names the character.
    bool CheckGlyphs(const DocDocument& doc, std::string& error) const;

    // The text shown for a character: the character itself, or a short name for characters
    // that cannot be seen (no-break spaces, soft hyphen).
    static std::string Shown(uint32_t ch);
    // Where an accent sits: "AltGr + '" and the like.
    std::string AccentPlace(int accent) const;
    const std::vector<KbdDeadEntry>& DeadKeys() const { return m_dead; }
    const CDefinition& Definition() const { return m_def; }

private:
    void DrawKeyCap(DocPage& page, int set, const DefKey* key, const std::string& name, double x, double y,
                    double w, double h, double u) const;
    void DrawDeadTables(DocDocument& doc) const;
    void PageHeading(DocPage& page, const std::string& title, const std::string& subtitle) const;

    CDefinition& m_def;
    const CLabels& m_labels;
    const CFonts& m_fonts;
    std::vector<KbdDeadEntry> m_dead;
};

#endif
