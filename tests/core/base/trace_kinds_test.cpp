#include "core/base/trace_kinds.h"

#include <gtest/gtest.h>

namespace ORV {
namespace {

TEST(TraceKinds, TableAndKeys) {
  ASSERT_EQ(TraceNameTable.size(), 21u);
  EXPECT_EQ(*TraceKindName(kTracePulse), "Pulse");
  EXPECT_EQ(*TraceKindName(kTracePuller), "Puller");
  EXPECT_EQ(*TraceKindName(kTracePH), "PH");
  EXPECT_EQ(*TraceSettingsKey(kTraceVesselDiameter), "Version\\5\\VesselDiameter");
  EXPECT_EQ(*TraceSettingsKey(kTraceNone), "Version\\5\\None");
  EXPECT_FALSE(TraceKindName(21));
  EXPECT_FALSE(TraceSettingsKey(220));
  EXPECT_FALSE(TraceCameraFor(kTraceVesselDiameter, -1, 0));
  EXPECT_FALSE(TraceCameraFor(kTraceVesselDiameter, 0, -1));
  EXPECT_EQ(*TraceCameraFor(kTraceInlet, -1, -1), 0);
  EXPECT_EQ(*TraceCameraFor(kTraceInlet, 2, -1), 2);
  EXPECT_FALSE(TraceCameraFor(kTraceNone, 0, 0));
}

}  // namespace
}  // namespace ORV
