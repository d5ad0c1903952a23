#pragma once
// Auto threshold: the wall search of one zone with cut-offs that the zone
// chooses from its own picture.
//
// The search marks a column as wall when its darkness reaches cut-off times
// the columns' spread, so each cut-off stands for one darkness level. A
// brightfield picture of a vessel shows, across the zone: background (not
// flat, often with a bright halo beside each wall), a dark wall whose edge
// to the background is a steep rise, a lumen about as bright as the
// background but speckled and often darker towards the walls, and the other
// wall. A wall may be several dark lines with gaps between them as bright as
// the lumen, and its edge to the lumen is a ramp of several columns.
//
// So the rule reads each edge where a careful eye would: halfway up its
// step.
//   - The outer walls are the first and the last column at the outer level,
//     near the level halfway between the background beside the walls (the
//     median of the columns past each edge's blur) and each wall's darkest
//     column.
//   - The lumen is read from the vessel's middle outwards: each of its
//     edges is the first column, going out from the middle, at the inner
//     level, near the level halfway between the lumen (the median of the
//     vessel's middle half) and each wall's darkest column. A wall of
//     several lines thus counts up to its innermost line, and speckle
//     darker than the lumen but short of that level stays lumen.
// Of the levels near the middle of the steps, the rule takes one that puts
// each edge within a pixel (the lumen's, on their ramps, within two) of
// where the level halfway up that edge's own step puts it, the nearest to
// that, and only where
//   - the edges do not jump (move by more than three pixels from one level
//     to the next: a level there crosses a gap in a wall, a speck, or the
//     background's slope) within a few levels of it;
//   - what lies outside the walls is background (close to the picture's
//     bright level: no wall cut by the zone's side), and the walls are two
//     walls of about one thickness (the two sides of one vessel);
//   - the walls stand out of the lumen by a quarter of their contrast
//     against the background (else no level tells the lumen from them);
//   - a cut-off from 1.0 to 6.0 reaches it.
// A zone keeps the cut-offs it chose while they still put the edges where
// the middles of the steps do, so its edges do not flicker between levels
// that are equally near, and chooses again when they do not. A frame on
// which no level passes reports nothing (no walls, or walls without a
// lumen): never a wrong wall.
//
// A vessel that runs through the zone at a slant blurs its edges in the
// columns' means; it is measured upright, on the zone's rows shifted back by
// the slant that its edges in the zone's upper and lower halves show, so
// that its diameters are those across the zone's middle row.
//
// When no cut-off can find the walls because of the picture's brightness,
// the verdict says which way the light is off: too dark when the level
// between the background and the walls lies beyond what cut-off 6.0 reaches
// (a dim background is that many spreads dark), too bright when the
// background is white and the walls barely show.
//
// Pure functions of a zone's picture and columns; run on the analysis
// workers.
#include <cstdint>

#include "analysis_control/zone_search.h"

namespace ORV {

// What a zone's picture allows the wall search, when it finds no walls.
enum class PictureVerdict : std::int32_t {
  kMeasurable = 0,  // or nothing to say about the light: the walls were found, or missed for another reason
  kTooDark = 1,     // no cut-off tells the walls from the background: more light or a longer exposure
  kTooBright = 2,   // the background is white and the walls are washed out: less light or a shorter exposure
};

struct AutoThresholdResult {
  bool found = false;  // two walls inside the zone
  std::int32_t outerLeft = 0;
  std::int32_t outerRight = 0;
  bool lumenFound = false;  // and the lumen between them
  std::int32_t lumenLeft = 0;
  std::int32_t lumenRight = 0;
  // The cut-offs in force after this frame: the given ones kept, or those
  // chosen anew on this frame (then the flag is set).
  double outerCutOff = 0.0;
  double innerCutOff = 0.0;
  bool outerChosen = false;
  bool innerChosen = false;
  // Without walls: whether the picture's light is to blame.
  PictureVerdict picture = PictureVerdict::kMeasurable;
};

// The search of one zone's columns starting from the zone's present
// cut-offs (each 1.0 to 6.0): those it chose itself (`keepOuter`,
// `keepInner`) are kept while they work, others (the defaults, or the
// user's) give way to a choice of its own. Without `ignoreLumen` the lumen
// is searched as well. The outer walls are those the plain search gives at
// the resulting outer cut-off; the lumen is TakeLumenEdgesFromMiddle's at
// the resulting inner cut-off.
AutoThresholdResult SearchWithAutoThreshold(const ColumnProfile& columns, double outerCutOff, double innerCutOff,
                                            bool ignoreLumen, bool keepOuter = true, bool keepInner = true);

// The search of one zone's picture: SearchWithAutoThreshold on its
// `columns`; and when the walls found there lie at a slant to the zone
// (their edges in the zone's lower rows, as `halves` has them, lie
// kSlantPixels or more, across the zone's height, from those in its upper
// rows), the search again from the same cut-offs on the columns of the
// zone's rows shifted to stand the vessel upright. The diameters are then
// those across the zone's middle row, as if the zone had been turned to the
// vessel, rather than the width of the slanting vessel's blur; `columns`
// then holds the upright columns, which the edges were read on.
AutoThresholdResult SearchZoneWithAutoThreshold(const GreyImageView& pixels, ColumnProfile& columns,
                                                const ColumnHalves& halves, double outerCutOff, double innerCutOff,
                                                bool ignoreLumen, bool keepOuter = true, bool keepInner = true);

// Whether the picture's light keeps every cut-off from finding the walls
// (for a search that found none).
PictureVerdict JudgePicture(const ColumnProfile& columns);

}  // namespace ORV
