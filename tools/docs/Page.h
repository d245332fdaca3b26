// The HTML page: the same keyboards as the chart, as inline SVG drawn by the chart code, and
// the dead-key tables as HTML tables.
#ifndef KBD_DOCS_PAGE_H
#define KBD_DOCS_PAGE_H

#include "Chart.h"

#include <string>

std::string BuildPage(const CChart& chart, const CDefinition& def, const CLabels& labels, DocDocument& drawn);

#endif
