#pragma once
// A trace view on an experiment record of its own, with a recording graph,
// a post box for its channel messages and a fake host.
#include <memory>

#include "core/base/app_registry.h"
#include "platform/os/registry_store.h"
#include "tests/core/experiment/experiment_fixture.h"
#include "tests/views/fake_graph.h"
#include "views/trace_view.h"

namespace ORV::Views::Test {

class ViewFixture : public ORV::Test::ExperimentFixture {
 protected:
  ViewFixture() {
    data().AddCamera("cam0");
    data().startTick = 0;
  }

  CPelmoraView::Params ViewParams() {
    CPelmoraView::Params p;
    p.experiment = &data();
    p.registry = &registry_;
    p.texts = ProgramText;
    p.devices = devices_;
    p.self = posts_;
    p.host = &host_;
    p.live = true;
    p.steadyMs = [this] { return steadyMs_ += 1000; };
    return p;
  }
  // A view with the graph attached and the set-up calls forgotten.
  std::unique_ptr<CPelmoraView> MakeView() {
    auto view = std::make_unique<CPelmoraView>(ViewParams());
    view->AttachGraph(&graph_, 0xF0F0F0, false);
    graph_.calls.clear();
    return view;
  }
  // Drains every posted channel message.
  void Drain(CPelmoraView& view) {
    for (std::uint32_t m : posts_->Take()) view.HandleMessage(m);
  }

  // Records are stored: a live collection that runs.
  void Record() {
    data().mode = kModeLive;
    StartClock();
  }
  void AddPressure(std::uint32_t time, float p1, float p2 = 0.0f) {
    PMK4xData3 s;
    s.time = time;
    s.p1 = p1;
    s.p2 = p2;
    data().AddPressureSample(s);
  }
  void AddFlow(std::uint32_t time, std::int16_t flow) {
    FMASL1600Data f;
    f.time = time;
    f.flow = flow;
    data().AddFlowSample(f);
  }
  void AddZones(std::uint32_t time, int zones, float seed = 10.0f) {
    data().AddZoneDataBatch(ORV::Test::MakeBatch({ORV::Test::MakeZone(time, zones, seed)}), 0);
  }

  OS::RegistryStore store_;
  AppRegistry registry_{store_};
  DevicesPresent devices_{true, true, false, true, false, 0};
  std::shared_ptr<PostBox> posts_ = std::make_shared<PostBox>();
  RecordingGraph graph_;
  FakeHost host_;
  std::int64_t steadyMs_ = 0;
};

}  // namespace ORV::Views::Test
