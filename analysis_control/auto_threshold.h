#pragma once
// Auto threshold: the wall search of one zone with cut-offs that the zone
// chooses from its own picture.
//
// The search marks a column as wall when its darkness reaches cut-off times
// the columns' spread, so each cut-off stands for one darkness level; the
// outer walls are the first and the last marked column, the lumen lies
// between the first and the last marked band. A level measures a vessel
// when
//   - its edges are steady: a wall's edge is a steep rise of darkness, so a
//     whole range of levels puts it on the same few pixels, while a level
//     that cuts the background's slow gradient, its noise or the lumen's
//     speckle moves the edge with every grey level. A range at least a
//     fifth of the vessel's contrast deep over which each edge moves by no
//     more than three pixels counts as steady, and a level a quarter of
//     that depth inside it;
//   - it puts each edge within half a pixel of where the level halfway up
//     the edges' steps (from the darkness just outside an edge to that
//     just inside it) puts it: where a blurred edge really is;
//   - what lies outside the walls is background (close to the picture's
//     bright level: no wall cut by the zone's side), the band between them
//     holds two walls, and the lumen leaves two walls of about one
//     thickness (the two sides of one vessel wall) and is even, with no
//     wall line left inside it.
// Of the steady levels the rule takes the lowest run that cut-offs 1.0 to
// 6.0 reach: the outer walls' first, then the lumen's within them.
//
// A zone keeps its cut-offs while they keep working: each frame checks that
// its edges are the same a quarter of the steady depth above and below its
// level and that the level still puts them where the middle of the steps
// does; only when that fails does it choose again. A frame that fails the checks
// reports nothing (no walls, or walls without a lumen): never a wrong wall.
//
// Pure functions of a column profile; run on the analysis workers.
#include <cstdint>

#include "analysis_control/zone_search.h"

namespace ORV {

struct AutoThresholdResult {
  bool found = false;  // two walls inside the zone
  std::int32_t outerLeft = 0;
  std::int32_t outerRight = 0;
  bool lumenFound = false;  // and the lumen between them
  std::int32_t lumenLeft = 0;
  std::int32_t lumenRight = 0;
  // The cut-offs in force after this frame: the given ones, or those
  // chosen anew (then the flag is set).
  double outerCutOff = 0.0;
  double innerCutOff = 0.0;
  bool outerChosen = false;
  bool innerChosen = false;
};

// The search of one zone's columns starting from the zone's present
// cut-offs (each 1.0 to 6.0). Without `ignoreLumen` the lumen is searched
// as well. The edges are those the plain search gives at the resulting
// cut-offs.
AutoThresholdResult SearchWithAutoThreshold(const ColumnProfile& columns, double outerCutOff, double innerCutOff,
                                            bool ignoreLumen);

}  // namespace ORV
