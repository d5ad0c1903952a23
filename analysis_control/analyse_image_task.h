#pragma once
// One zone of one frame: the task that searches the zone's crop for the
// vessel walls and lumen edges on an analysis worker.
//
// The task is armed on the thread that prepares the frame, runs once on a
// worker and then reports through its completion, which the analysis uses
// to apply results strictly in the order the tasks were started. Its zone is
// either a crop copied when it was armed or the zone's part of a shared
// frame, searched in place.
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "analysis_control/zone_search.h"
#include "core/threading/task.h"

namespace ORV {

struct ZoneRect {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};

class AnalyseImageAsyncTask : public Threading::AsyncTask {
 public:
  // Called on the worker once the run has ended, with the found flag.
  using Completion = std::function<void(std::int32_t found)>;

  explicit AnalyseImageAsyncTask(std::int64_t number) : taskNumber(number) {}

  // The search. Returns the found flag; always ends with `done` set and the
  // completion called, also when the crop cannot be searched or the search
  // fails (then `hasResult` stays 0).
  std::int32_t Run() override;

  // Set (with release order) once the run has ended; every field below is
  // final from then on.
  std::atomic<std::int32_t> done{0};
  // 1 when the run produced edges to apply (found or not). 0 for a crop
  // without rows or columns, a searched crop of a single column, or a search
  // that failed: such a task gives no result.
  std::int32_t hasResult = 0;
  std::int32_t outerLeft = 0;  // pixels within the crop
  std::int32_t outerRight = 0;
  std::int32_t lumenLeft = 0;
  std::int32_t lumenRight = 0;
  std::int32_t found = 0;
  std::int32_t invert = 0;       // invert the crop before the search
  std::int32_t ignoreLumen = 0;  // skip the lumen pass
  std::int32_t analyse = 1;      // 0: the preset (fixed) edges stand
  // 1: the cut-offs below are where the search starts; it keeps those the
  // zone chose itself (the keep flags) while they work, and else chooses
  // its own from the crop (auto threshold).
  std::int32_t autoThreshold = 0;
  std::int32_t keepOuterCutOff = 0;
  std::int32_t keepInnerCutOff = 0;
  // When nothing was found: whether the picture's light is to blame
  // (PictureVerdict of analysis_control/auto_threshold.h).
  std::int32_t picture = 0;
  Completion completion;
  // The zone's pixels: the crop copied when the task was armed or, when
  // `frameOwner` is set, cropRect of `frame`, which the owner keeps unchanged
  // (an inverted search inverts a copy in `crop`). The run lets go of the
  // frame when it ends.
  GreyImage crop;
  GreyImageView frame;
  std::shared_ptr<const void> frameOwner;
  // One byte per column once run: the columns the edges were read on (with
  // auto threshold, those of the zone's rows shifted to stand a slanting
  // vessel upright).
  std::vector<std::uint8_t> rawProfile;
  int zone = -1;
  ZoneRect cropRect;  // the crop within the frame, after clipping
  double outerCutOff = 3.0;
  double innerCutOff = 3.0;
  // The cut-offs an auto-threshold run chose anew; 0 when it kept its own.
  double chosenOuterCutOff = 0.0;
  double chosenInnerCutOff = 0.0;
  std::uint32_t time = 0;  // experiment time of the frame, ms
  const std::int64_t taskNumber;

 private:
  void Search();
};

// A new task holding the given number: nothing found, no zone, empty crop.
std::shared_ptr<AnalyseImageAsyncTask> CreateZoneTask(std::int64_t taskNumber);

// Copies `rect` of the frame into `crop`, reusing the memory it holds; an
// empty rectangle leaves the crop as it is. The rectangle lies within the
// frame.
void CutCrop(const GreyImageView& frame, const ZoneRect& rect, GreyImage& crop);

}  // namespace ORV
