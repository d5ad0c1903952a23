#include "analysis_control/analyse_image_task.h"

#include <cstring>

#include "analysis_control/auto_threshold.h"

namespace ORV {

std::int32_t AnalyseImageAsyncTask::Run() {
  try {
    Search();
  } catch (...) {
    // A failed search (out of memory) gives no result; the completion
    // still runs, so later results are not held back behind this task.
    hasResult = 0;
    found = 0;
  }
  frame = {};
  frameOwner.reset();
  done.store(1, std::memory_order_release);
  if (completion) completion(found);
  return found;
}

void AnalyseImageAsyncTask::Search() {
  GreyImageView pixels = crop.View();
  if (frameOwner) pixels = {frame.Row(cropRect.y) + cropRect.x, cropRect.width, cropRect.height, frame.stride};
  if (pixels.width <= 0 || pixels.height <= 0) return;
  rawProfile.assign(static_cast<std::size_t>(pixels.width), 0);

  if (!analyse) {
    found = 1;  // the fixed edges preset at arming stand
    hasResult = 1;
    return;
  }

  // Only the search looks at the pixels, so only it pays for inverting them,
  // in a crop of its own when they are the shared frame's.
  if (invert) {
    if (frameOwner) {
      CutCrop(frame, cropRect, crop);
      pixels = crop.View();
    }
    for (std::uint8_t& p : crop.pixels) p = static_cast<std::uint8_t>(255 - p);
  }

  ColumnHalves halves;
  std::optional<ColumnProfile> columns = MeasureColumns(pixels, autoThreshold ? &halves : nullptr);
  if (!columns) return;  // a single column has no spread to measure against

  if (autoThreshold) {
    const AutoThresholdResult a =
        SearchZoneWithAutoThreshold(pixels, *columns, halves, outerCutOff, innerCutOff, ignoreLumen != 0,
                                    keepOuterCutOff != 0, keepInnerCutOff != 0);
    rawProfile = columns->profile;
    if (a.found) {
      outerLeft = a.outerLeft;
      outerRight = a.outerRight;
      found = 1;
    }
    if (a.lumenFound) {
      lumenLeft = a.lumenLeft;
      lumenRight = a.lumenRight;
    }
    if (a.outerChosen) chosenOuterCutOff = a.outerCutOff;
    if (a.innerChosen) chosenInnerCutOff = a.innerCutOff;
    picture = static_cast<std::int32_t>(a.picture);
    hasResult = 1;
    return;
  }

  rawProfile = columns->profile;
  std::int32_t left = 0, right = 0;
  if (TakeOuterEdges(FindChanges(ThresholdColumns(*columns, outerCutOff)), left, right)) {
    outerLeft = left;
    outerRight = right;
    found = (left != 0 && right != 0) ? 1 : 0;
  }
  if (found && !ignoreLumen) {
    if (TakeLumenEdges(FindChanges(ThresholdColumns(*columns, innerCutOff)), left, right) && left > outerLeft &&
        right < outerRight) {
      lumenLeft = left;
      lumenRight = right;
    }
  }
  // Walls the user's cut-offs miss: the light may be to blame at any cut-off.
  if (!found) picture = static_cast<std::int32_t>(JudgePicture(*columns));
  hasResult = 1;
}

std::shared_ptr<AnalyseImageAsyncTask> CreateZoneTask(std::int64_t taskNumber) {
  return std::make_shared<AnalyseImageAsyncTask>(taskNumber);
}

void CutCrop(const GreyImageView& frame, const ZoneRect& r, GreyImage& crop) {
  if (r.width <= 0 || r.height <= 0) return;
  crop.width = r.width;
  crop.height = r.height;
  crop.pixels.resize(static_cast<std::size_t>(r.width) * r.height);
  for (int y = 0; y < r.height; ++y) {
    std::memcpy(crop.pixels.data() + static_cast<std::size_t>(y) * r.width, frame.Row(r.y + y) + r.x,
                static_cast<std::size_t>(r.width));
  }
}

}  // namespace ORV
