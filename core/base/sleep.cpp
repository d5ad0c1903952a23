#include "core/base/sleep.h"

#include <sys/prctl.h>
#include <time.h>

#include <cerrno>

namespace ORV {

void HighResolutionSleep(std::int64_t interval100ns) {
  // Timer slack belongs to the thread, so each sleeping thread asks once.
  thread_local bool slackSet = false;
  if (!slackSet) {
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    slackSet = true;
  }
  if (interval100ns <= 0) return;
  timespec ts{};
  ts.tv_sec = static_cast<time_t>(interval100ns / 10000000);
  ts.tv_nsec = static_cast<long>((interval100ns % 10000000) * 100);
  while (clock_nanosleep(CLOCK_MONOTONIC, 0, &ts, &ts) == EINTR) {
  }
}

}  // namespace ORV
