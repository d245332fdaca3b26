// The user manual: a small markup source (content/docs/manual.txt) set into A4 pages.
//
// Markup, one block per paragraph (blocks are separated by blank lines):
//   % Title            the title block of the first page;  %% a subtitle line under it
//   # Heading          a chapter (starts a new page unless it is the first);  ## a section
//   - text             a list item; lines that follow without a blank line continue it
//   @contents          the table of contents
//   @chart V S         a figure: the keyboard of variant V and set S, drawn by the chart code
//   @legend            the key that explains the four places of a key cap
//   @accents           the list of the accent keys of set 1 with sample letters and places
//   anything else      a paragraph; *text* is bold, `text` monospaced, \c is c itself
#ifndef KBD_DOCS_MANUAL_H
#define KBD_DOCS_MANUAL_H

#include "Chart.h"
#include "DisplayList.h"
#include "Render.h"

#include <string>
#include <vector>

struct ManualBlock {
    enum Kind { kTitle, kSubtitle, kChapter, kSection, kParagraph, kItem, kContents, kChart, kLegend, kAccents } kind = kParagraph;
    std::string text;
    int variant = 0, set = 0;
    int line = 0;
};

class CManual {
public:
    bool Load(const std::string& path);
    const std::string& Error() const { return m_error; }
    const std::vector<ManualBlock>& Blocks() const { return m_blocks; }

    // Sets the manual into pages; the chart draws its figures.
    void BuildDocument(DocDocument& doc, const CFonts& fonts, const CChart& chart) const;

private:
    std::vector<ManualBlock> m_blocks;
    std::string m_error;
};

#endif
