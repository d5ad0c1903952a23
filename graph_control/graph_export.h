#pragma once
// The selected points of the first element as the graph drags them out: as
// text ("X<tab>Y" lines) and as a CSV file ("X;Y" header, "X;Y" lines).
// Numbers have three decimals, a "." whatever the locale, and are written
// whole whatever their magnitude.
#include <string>

#include "graph_control/graph_model.h"

namespace ORV::Graph {

// Lines "%.3f\t%.3f\n"; empty without a selection or selected points.
std::string SelectedPointsText(const GraphModel& model);

// Creates a new file "ORV<random>.csv" in `folder` (the user's temporary
// folder when empty), readable by the user only, and writes the header
// "X;Y\n" and a line "%.3f;%.3f\n" per selected point, LF line ends. The
// name is made and the file created in one step, so nothing planted under
// that name can receive the data. The file is left for the drop target.
// Returns its path; empty when there is nothing to write or the file
// cannot be written (then nothing is left behind).
std::string WriteSelectedPointsFile(const GraphModel& model, const std::string& folder = {});

}  // namespace ORV::Graph
