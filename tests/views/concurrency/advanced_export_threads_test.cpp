// The advanced export collects a custom trace on its worker while a live
// view evaluates the same trace for every new sample on the user-interface
// thread: both finish with every value (ThreadSanitizer: make tsan).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/views/view_fixture.h"
#include "views/advanced_export.h"

namespace ORV::Views::Test {
namespace {

using AdvancedExportThreadsTest = ViewFixture;

TEST_F(AdvancedExportThreadsTest, ACustomTraceExportedWhileAViewEvaluatesIt) {
  Record();
  auto definition = std::make_shared<Traces::CustomTraces>();
  definition->Name = "Twice P1";
  definition->Code = "return P1 * 2";
  const std::int32_t code = data().AddCustomTrace(definition);
  ASSERT_GE(code, 220);
  constexpr std::uint32_t kRecorded = 20000;
  for (std::uint32_t i = 1; i <= kRecorded; ++i) AddPressure(i, static_cast<float>(i % 100));
  auto view = MakeView();
  view->ShowTrace(code);
  Drain(*view);

  std::vector<AdvancedExportEntry> entries = {{-1, -1, code, "Twice P1", {}}};
  std::atomic<bool> exported{false};
  std::thread worker([&] {
    CollectAdvancedExport(data(), entries);
    exported = true;
  });
  // The live view takes new samples meanwhile.
  PMK4xData3 s;
  for (std::uint32_t i = kRecorded + 1; !exported || i <= kRecorded + 2000; ++i) {
    s.time = i;
    s.p1 = 1.0f;
    view->OnPressureData(s);
    Drain(*view);
  }
  worker.join();

  ASSERT_GE(entries[0].samples.size(), kRecorded);
  for (std::uint32_t i = 0; i < kRecorded; ++i)
    ASSERT_FLOAT_EQ(entries[0].samples[i].value, 2.0f * static_cast<float>((i + 1) % 100)) << i;
}

}  // namespace
}  // namespace ORV::Views::Test
