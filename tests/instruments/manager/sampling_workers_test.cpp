// The sampling workers on simulated instruments: what each cycle asks and
// delivers, when a pressure unit is given up, the pace of the multi
// interface, and starting and stopping.
#include "instruments/sampling_workers.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <thread>

#include "platform/os/tick_source.h"
#include "platform/sim/flow_meter_sli2000_sim.h"
#include "platform/sim/heat_controller_sim.h"
#include "platform/sim/microscope_sim.h"
#include "platform/sim/single_interface_sim.h"
#include "tests/instruments/manager/manager_rig.h"
#include "tests/instruments/manager/recording_target.h"

namespace ORV::Test {
namespace {

using Requests = std::vector<std::string>;

// A window: its message target and its inbox.
struct Window {
  std::shared_ptr<RecordingTarget> target = std::make_shared<RecordingTarget>();
  std::shared_ptr<SampleInbox> inbox = std::make_shared<SampleInbox>(target);

  std::vector<Posted> Of(std::uint32_t message) const {
    std::vector<Posted> out;
    for (const Posted& p : target->Messages())
      if (p.message == message) out.push_back(p);
    return out;
  }
};

// The requests a simulator received, once at least `count` have come.
Requests RequestsAfter(const Sim::SerialResponder& sim, std::size_t count) {
  EXPECT_TRUE(sim.WaitForRequests(count, std::chrono::seconds(10)));
  return sim.Requests();
}

std::size_t CountOf(const std::vector<std::uint8_t>& commands, std::uint8_t command) {
  return static_cast<std::size_t>(std::count(commands.begin(), commands.end(), command));
}

class WorkerTest : public ManagerTest {
 protected:
  // A single pressure interface loaded on its simulator.
  void LoadSingle() {
    ASSERT_TRUE(single_.Start());
    ports_ = {single_.DevicePath()};
    ListPorts();
    ASSERT_EQ(Manager().LoadDevices(kDeviceSinglePressureInterface), 1u);
  }
  // A multi interface of `model` with `reportLength`-byte reports.
  std::shared_ptr<Sim::MultiInterfaceUnit> LoadMulti(std::uint8_t modelByte, std::size_t reportLength) {
    auto unit = AddUnit(reportLength);
    unit->Update([&](Sim::MultiInterfaceUnit::State& s) { s.modelByte = modelByte; });
    EXPECT_EQ(Manager().LoadDevices(kDeviceMultiInterface), 8u);
    unit->ClearReceived();
    return unit;
  }
  std::vector<std::pair<std::uint16_t, std::string>> Errors() {
    std::vector<std::pair<std::uint16_t, std::string>> out;
    for (const Event& e : TakeEvents())
      if (e.first == OS::kEventError) out.push_back(e);
    return out;
  }

  Sim::SingleInterfaceSim single_;
};

TEST_F(WorkerTest, SingleWorkerRotatesOneFurtherQueryPerSuccessfulCycle) {
  LoadSingle();
  Window frame, other;
  CInterfaceSampleThread worker(Manager());
  worker.AddListener(frame.inbox);
  worker.AddListener(other.inbox);
  worker.SetFailureTarget(frame.target);
  Sim::SingleInterfaceSim::State state;
  state.temperatureTarget = 38.5f;
  state.heaterOn = true;
  state.pressureOn = true;
  state.targetP1 = 80;
  state.targetP2 = 30;
  state.flowValid = false;
  single_.SetState(state);

  const std::size_t before = single_.Requests().size();
  for (int i = 0; i < 9; ++i) EXPECT_TRUE(worker.HandlePMK4xNewUnit());
  // A failed reading asks nothing more and keeps the turn.
  single_.SetMode(Sim::ReplyMode::Garbage);
  EXPECT_TRUE(worker.HandlePMK4xNewUnit());
  EXPECT_EQ(worker.Failures(), 1);
  single_.SetMode(Sim::ReplyMode::Normal);
  EXPECT_TRUE(worker.HandlePMK4xNewUnit());
  EXPECT_EQ(worker.Failures(), 0);

  const Requests all = RequestsAfter(single_, before + 20);
  EXPECT_EQ(Requests(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
            (Requests{"?0107", "?0110", "?0107", "?0111", "?0107", "?0122", "?0107", "?0121", "?0107", "?0120",
                      "?0107", "?0124", "?0107", "?0107", "?0110", "?0107", "?0111", "?0107", "?0107", "?0122"}));

  // Every successful cycle posted (1, 0) to each listener in turn and put
  // the reading into the holder.
  EXPECT_EQ(frame.Of(WM_NEW_SAMPLE), std::vector<Posted>(10, Posted{WM_NEW_SAMPLE, 1, 0}));
  EXPECT_EQ(other.Of(WM_NEW_SAMPLE).size(), 10u);
  PMK4xData3 newest;
  ASSERT_TRUE(worker.Holder()->TakeNewest(newest));
  EXPECT_EQ(worker.Holder()->TakeQueue().size(), 10u);
  EXPECT_FLOAT_EQ(newest.p1, 60.0f);
  EXPECT_FLOAT_EQ(newest.temperature, 36.8f);
  EXPECT_FLOAT_EQ(newest.temperatureTarget, 38.5f);
  EXPECT_EQ(newest.switch1, 1);
  EXPECT_EQ(newest.switch4, 1);
  EXPECT_FLOAT_EQ(newest.targetP1, 80.0f);
  EXPECT_FLOAT_EQ(newest.targetP2, 30.0f);
  EXPECT_EQ(newest.flowValid, 0);
  EXPECT_EQ(newest.flow, 0.0f);
}

TEST_F(WorkerTest, SingleWorkerGivesTheUnitUpAfterFourFailedReadings) {
  LoadSingle();
  Window frame;
  CInterfaceSampleThread worker(Manager());
  worker.AddListener(frame.inbox);
  worker.SetFailureTarget(frame.target);
  single_.SetMode(Sim::ReplyMode::Garbage);
  TakeEvents();
  for (int i = 0; i < 4; ++i) worker.HandlePMK4xNewUnit();
  EXPECT_TRUE(frame.target->Messages().empty());
  EXPECT_TRUE(Manager().SingleInterface().IsConnected());

  EXPECT_TRUE(worker.HandlePMK4xNewUnit());
  EXPECT_EQ(frame.target->Messages(), (std::vector<Posted>{{WM_DEVICE_FAILED, 1, 0}}));
  EXPECT_FALSE(Manager().SingleInterface().IsConnected());
  EXPECT_EQ(worker.Failures(), 0);
  EXPECT_EQ(Errors(), (std::vector<std::pair<std::uint16_t, std::string>>{
                          {OS::kEventError,
                           "CInterfaceSampleThread::HandlePMK4xNewUnit() - Reading from device has "
                           "failed 4 times - closing Multi Interface"}}));

  // The loop finds the unit closed and leaves it alone.
  const std::size_t requests = single_.Requests().size();
  ASSERT_TRUE(worker.Start());
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  worker.Stop();
  EXPECT_EQ(single_.Requests().size(), requests);
  EXPECT_EQ(frame.target->Count(), 1u);
  EXPECT_TRUE(Errors().empty());
}

TEST_F(WorkerTest, SingleWorkerLoopDeliversUntilStopped) {
  LoadSingle();
  Window frame;
  auto holder = std::make_shared<PressureHolder>();
  CInterfaceSampleThread worker(Manager());
  worker.SetHolder(holder);
  worker.AddListener(frame.inbox);
  worker.SetPeriodFactor(1);
  ASSERT_TRUE(worker.Start());
  EXPECT_FALSE(worker.Start());
  EXPECT_TRUE(frame.target->WaitFor(3));
  worker.Stop();
  EXPECT_FALSE(worker.IsStarted());
  const std::size_t posted = frame.target->Count();
  EXPECT_GE(holder->TakeQueue().size(), posted);
  EXPECT_EQ(frame.target->Count(), posted);  // nothing after Stop
}

TEST_F(WorkerTest, MultiWorkerPeriodFollowsTheModel) {
  struct Case {
    std::uint8_t modelByte;
    std::size_t reportLength;
    std::int32_t period;
    bool blocks;
  };
  for (const Case& c : {Case{6, 64, 5, true}, Case{5, 64, 40, true}, Case{4, 19, 40, false}}) {
    SCOPED_TRACE(int(c.modelByte));
    hid_.RemoveDevice(Manager().FindHidDevicePath(""));
    manager_.reset();
    LoadMulti(c.modelByte, c.reportLength);
    CMultiInterfaceSampleThread worker(Manager());
    worker.Prepare();
    EXPECT_EQ(worker.PeriodMs(), c.period);
    EXPECT_EQ(worker.BlockReads(), c.blocks);
  }
}

TEST_F(WorkerTest, MultiWorkerGivesUpAfter201FailedTicks) {
  auto unit = LoadMulti(6, 64);
  Window frame;
  CMultiInterfaceSampleThread worker(Manager());
  worker.AddListener(frame.inbox);
  worker.SetFailureTarget(frame.target);
  worker.Prepare();
  unit->SetReplyCode(PressureMultiMyographK4x::kGetFastBlock, 0x6036);
  TakeEvents();
  for (int i = 0; i < 201; ++i) CMultiInterfaceSampleThread::TimerCallback(&worker);
  EXPECT_EQ(worker.Failures(), 201);
  EXPECT_TRUE(frame.target->Messages().empty());
  EXPECT_TRUE(Manager().MultiInterface().IsConnected());

  for (int i = 0; i < 5; ++i) CMultiInterfaceSampleThread::TimerCallback(&worker);
  EXPECT_EQ(frame.target->Messages(), (std::vector<Posted>{{WM_DEVICE_FAILED, 8, 0}}));
  EXPECT_FALSE(Manager().MultiInterface().IsConnected());
  EXPECT_EQ(Errors(), (std::vector<std::pair<std::uint16_t, std::string>>{
                          {OS::kEventError,
                           "CHardwareThread::HandlePMK4xNewUnit() - Reading from device has failed "
                           "201 times - closing new Multi Interface"}}));
}

TEST_F(WorkerTest, MultiWorkerReadsTheSlowBlockAtMostOnceASecond) {
  OS::ManualTickSource ticks(5000);
  OS::ScopedTickSource installed(ticks);
  auto unit = LoadMulti(6, 64);
  Window frame;
  CMultiInterfaceSampleThread worker(Manager());
  worker.AddListener(frame.inbox);
  worker.Prepare();

  // A command (a new inlet target, 0 for none) goes to the unit before the
  // tick, as the pane or the sequencer sends it.
  struct Step {
    std::uint32_t advance;
    float command;
    bool slow;
  };
  std::vector<std::uint8_t> states;  // the heater state in each posted reading
  std::vector<float> targets;        // the inlet target in each posted reading
  std::uint8_t heater = 1;
  for (const Step& step : {Step{0, 0, true}, Step{400, 0, false}, Step{600, 0, false}, Step{1, 0, true},
                           Step{999, 0, false}, Step{2, 0, true}, Step{5, 80, true}, Step{5, 0, false},
                           Step{5, 90, true}, Step{5, 90, true}, Step{5, 0, false}}) {
    ticks.Advance(step.advance);
    unit->Update([&](Sim::MultiInterfaceUnit::State& s) {
      s.digital[0] = heater;
      s.p1 = static_cast<float>(ticks.Now());
    });
    if (step.command != 0) {
      ASSERT_TRUE(Manager().MultiInterface().SetPressures(step.command, PressureMultiMyographK4x::kKeep,
                                                          PressureMultiMyographK4x::kKeep, 0, 0, 0));
    }
    unit->ClearReceived();
    CMultiInterfaceSampleThread::TimerCallback(&worker);
    const std::vector<std::uint8_t> commands = unit->ReceivedCommands();
    EXPECT_EQ(CountOf(commands, PressureMultiMyographK4x::kGetFastBlock), 1u);
    EXPECT_EQ(CountOf(commands, PressureMultiMyographK4x::kGetSlowBlock), step.slow ? 1u : 0u) << ticks.Now();
    const std::vector<Posted> posted = frame.Of(WM_NEW_SAMPLE);
    ASSERT_FALSE(posted.empty());
    const std::optional<PMK4xData3> reading = frame.inbox->Take<PMK4xData3>(posted.back().lParam);
    ASSERT_TRUE(reading);
    EXPECT_EQ(reading->p1, static_cast<float>(ticks.Now()));  // the fast values every tick
    states.push_back(reading->switch1);
    targets.push_back(reading->targetP1);
    heater = heater ? 0 : 1;
  }
  // The heater state, switched at every tick, shows in the readings only
  // with a slow block; a commanded target shows in the reading of the next
  // tick, however short a time ago the last slow block was read.
  EXPECT_EQ(states, (std::vector<std::uint8_t>{1, 1, 1, 0, 0, 0, 1, 1, 1, 0, 0}));
  EXPECT_EQ(targets, (std::vector<float>{60, 60, 60, 60, 60, 60, 80, 80, 90, 90, 90}));
}

// After a set command the single interface's next cycle asks every setting
// at once, so the reading carries the new target; then the turns go on.
TEST_F(WorkerTest, SingleWorkerAsksEverySettingAfterASetCommand) {
  LoadSingle();
  Window frame;
  CInterfaceSampleThread worker(Manager());
  worker.AddListener(frame.inbox);
  Sim::SingleInterfaceSim::State state;
  state.targetP1 = 60;
  single_.SetState(state);
  EXPECT_TRUE(worker.HandlePMK4xNewUnit());
  EXPECT_TRUE(worker.HandlePMK4xNewUnit());

  ASSERT_TRUE(Manager().SingleInterface().SetTargetP1(95));
  const std::size_t before = RequestsAfter(single_, 0).size();
  EXPECT_TRUE(worker.HandlePMK4xNewUnit());
  EXPECT_TRUE(worker.HandlePMK4xNewUnit());
  const Requests all = RequestsAfter(single_, before + 9);
  EXPECT_EQ(Requests(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
            (Requests{"?0107", "?0110", "?0111", "?0122", "?0121", "?0120", "?0124", "?0107", "?0121"}));
  const std::deque<PMK4xData3> readings = worker.Holder()->TakeQueue();
  ASSERT_EQ(readings.size(), 4u);
  EXPECT_FLOAT_EQ(readings[2].targetP1, 95.0f);
}

TEST_F(WorkerTest, MultiWorkerWithoutBlocksDeliversWhenOnlyTheForceFails) {
  auto unit = LoadMulti(4, 19);
  Window frame;
  CMultiInterfaceSampleThread worker(Manager());
  worker.AddListener(frame.inbox);
  worker.Prepare();
  CMultiInterfaceSampleThread::TimerCallback(&worker);
  EXPECT_EQ(unit->ReceivedCommands(), (std::vector<std::uint8_t>{0x00, 0x10, 0x08, 0x30, 0x0A, 0x28}));

  unit->SetReplyCode(PressureMultiMyographK4x::kGetForce, 0x6036);
  unit->Update([](Sim::MultiInterfaceUnit::State& s) {
    s.force = 9.0f;
    s.pH = 6.0f;
    s.p1 = 99.0f;
  });
  unit->ClearReceived();
  CMultiInterfaceSampleThread::TimerCallback(&worker);
  EXPECT_EQ(unit->ReceivedCommands(), (std::vector<std::uint8_t>{0x00, 0x08, 0x30, 0x0A, 0x28}));
  EXPECT_EQ(worker.Failures(), 0);
  const std::vector<Posted> posted = frame.Of(WM_NEW_SAMPLE);
  ASSERT_EQ(posted.size(), 2u);
  const PMK4xData3 first = *frame.inbox->Take<PMK4xData3>(posted[0].lParam);
  const PMK4xData3 second = *frame.inbox->Take<PMK4xData3>(posted[1].lParam);
  EXPECT_FLOAT_EQ(first.force, 1.5f);
  EXPECT_FLOAT_EQ(second.force, 1.5f);
  EXPECT_FLOAT_EQ(second.pH, first.pH);
  EXPECT_FLOAT_EQ(second.p1, 99.0f);
  EXPECT_EQ(posted[1].wParam, 8u);
}

TEST_F(WorkerTest, WorkersWithoutListenersLeaveTheirDevicesAlone) {
  LoadSingle();
  auto unit = LoadMulti(6, 64);
  Sim::MicroscopeSim microscope;
  ASSERT_TRUE(microscope.Start());
  Sim::FlowMeterSLI2000Sim meter;
  ASSERT_TRUE(meter.Start());
  usb_->devices = {FtdiDevice(kFtdiSerialConverterProductId, "MIC1", microscope.DevicePath()),
                   FtdiDevice(kFtdiSerialConverterProductId, "FTF1", meter.DevicePath())};
  ASSERT_EQ(Manager().LoadDevices(kDeviceMicroscope | kDeviceFlowMeter), 18u);
  // The meter's load ends with a frame it does not answer (start, identity,
  // setting): wait until it has come.
  ASSERT_TRUE(meter.WaitForRequests(3, std::chrono::seconds(10)));
  const std::size_t singleBefore = single_.Requests().size();
  const std::size_t microscopeBefore = microscope.Requests().size();
  const std::size_t meterBefore = meter.Requests().size();

  CInterfaceSampleThread single(Manager());
  single.SetPeriodFactor(1);
  CMicroscopeThread microscopeWorker(0, Manager());
  microscopeWorker.SetPeriodFactor(1);
  auto flow = std::make_shared<CFlowSampleThread>(Manager(), [] { return 0u; });
  flow->SetPeriodFactor(1);
  CMultiInterfaceSampleThread multi(Manager());
  ASSERT_TRUE(single.Start());
  ASSERT_TRUE(microscopeWorker.Start());
  flow->Start(flow);
  ASSERT_TRUE(multi.Start());
  std::this_thread::sleep_for(std::chrono::milliseconds(250));
  multi.Stop();
  flow->Stop();
  microscopeWorker.Stop();
  single.Stop();

  EXPECT_TRUE(unit->Received().empty());
  EXPECT_EQ(single_.Requests().size(), singleBefore);
  EXPECT_EQ(microscope.Requests().size(), microscopeBefore);
  EXPECT_EQ(meter.Requests().size(), meterBefore);
  EXPECT_TRUE(single.HandlePMK4xNewUnit());
  EXPECT_EQ(single_.Requests().size(), singleBefore);
}

TEST_F(WorkerTest, FlowWorkerPostsStampedReadingsAndStopAbortsASilentRead) {
  Sim::FlowMeterSLI2000Sim meter;
  ASSERT_TRUE(meter.Start());
  meter.SetValue(500);
  usb_->devices = {FtdiDevice(kFtdiSerialConverterProductId, "FTF1", meter.DevicePath())};
  ASSERT_EQ(Manager().LoadDevices(kDeviceFlowMeter), 2u);

  // Stop without Start does nothing.
  auto flow = std::make_shared<CFlowSampleThread>(Manager(), [] { return 1234u; });
  flow->Stop();

  Window frame;
  flow->AddListener(frame.inbox);
  flow->SetPeriodFactor(1);
  flow->Start(flow);
  ASSERT_TRUE(frame.target->WaitFor(2));
  const Posted first = frame.target->Messages().front();
  EXPECT_EQ(first.message, WM_NEW_SAMPLE);
  EXPECT_EQ(first.wParam, 2u);
  const std::optional<FMASL1600Data> reading = frame.inbox->Take<FMASL1600Data>(first.lParam);
  ASSERT_TRUE(reading);
  EXPECT_EQ(reading->time, 1234u);
  EXPECT_EQ(reading->flow, 100);  // a fifth of the value while the meter's ring fills
  EXPECT_EQ(reading->index, -1);

  flow->Stop();
  EXPECT_TRUE(flow->GetFuture()->IsFinished());
  const std::size_t posted = frame.target->Count();

  // A meter that stops answering keeps the worker in a long read; Stop ends
  // the read and returns once the loop has returned, and the reading cut
  // short is not posted.
  Manager().BinaryFlowMeter().Port().Configure(FlowMeterSLI2000::kBaud, 60000);
  meter.SetMode(Sim::ReplyMode::Silent);
  const std::size_t requests = meter.Requests().size();
  flow->Start(flow);
  ASSERT_TRUE(meter.WaitForRequests(requests + 1, std::chrono::seconds(10)));
  const std::shared_ptr<Threading::TaskFuture> future = flow->GetFuture();
  flow->Stop();
  EXPECT_TRUE(future->IsFinished());
  EXPECT_EQ(future->GetResult(), 0);
  EXPECT_EQ(frame.target->Count(), posted);
  // The port no longer watches the worker's stop.
  EXPECT_EQ(Manager().BinaryFlowMeter().Port().GetStopEvent(), nullptr);
  flow->Stop();  // a second Stop does nothing
}

// A meter that goes silent gives no readings; after four failed readings
// in a row the worker closes it and reports it failed, then leaves it alone.
TEST_F(WorkerTest, FlowWorkerPostsNothingForFailedReadingsAndGivesTheMeterUp) {
  Sim::FlowMeterSLI2000Sim meter;
  ASSERT_TRUE(meter.Start());
  meter.SetValue(500);
  usb_->devices = {FtdiDevice(kFtdiSerialConverterProductId, "FTF1", meter.DevicePath())};
  for (Sim::ReplyMode mode : {Sim::ReplyMode::Silent, Sim::ReplyMode::Garbage}) {
    SCOPED_TRACE(static_cast<int>(mode));
    meter.SetMode(Sim::ReplyMode::Normal);
    ASSERT_EQ(Manager().LoadDevices(kDeviceFlowMeter), 2u);
    TakeEvents();
    meter.SetMode(mode);
    Window pane, frame;
    auto flow = std::make_shared<CFlowSampleThread>(Manager(), [] { return 1u; });
    flow->AddListener(pane.inbox);
    flow->SetFailureTarget(frame.target);
    flow->SetPeriodFactor(1);
    const std::string read(FlowMeterSLI2000::kReadValueFrame.begin(), FlowMeterSLI2000::kReadValueFrame.end());
    auto reads = [&] {
      const Requests all = meter.Requests();
      return std::count(all.begin(), all.end(), read);
    };
    const auto before = reads();
    flow->Start(flow);
    ASSERT_TRUE(frame.target->WaitFor(1));
    // Give the loop time to read a closed meter, were it to.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    flow->Stop();

    EXPECT_EQ(frame.target->Messages(), (std::vector<Posted>{{WM_DEVICE_FAILED, kDeviceFlowMeter, 0}}));
    EXPECT_TRUE(pane.target->Messages().empty());
    EXPECT_FALSE(Manager().BinaryFlowMeter().IsConnected());
    EXPECT_FALSE(Manager().IsConnected(kDeviceFlowMeter));
    EXPECT_EQ(reads(), before + CFlowSampleThread::kFailureLimit);
    EXPECT_EQ(Errors(),
              (std::vector<std::pair<std::uint16_t, std::string>>{
                  {OS::kEventError,
                   "CFlowSampleThread::Run() - Reading from device has failed 4 times - closing Flow Meter"}}));
  }
}

// The hot-plug handler reloads devices while their workers run: the flags
// and microscopes the workers read are replaced under them (run under
// ThreadSanitizer as well), and the workers go on reading the new devices.
TEST_F(WorkerTest, DevicesReloadWhileTheirWorkersRun) {
  Sim::MicroscopeSim microscope;
  ASSERT_TRUE(microscope.Start());
  microscope.SetLightLevel(40);
  Sim::FlowMeterSLI2000Sim meter;
  ASSERT_TRUE(meter.Start());
  meter.SetValue(500);
  usb_->devices = {FtdiDevice(kFtdiSerialConverterProductId, "MIC1", microscope.DevicePath()),
                   FtdiDevice(kFtdiSerialConverterProductId, "FTF1", meter.DevicePath())};
  ASSERT_EQ(Manager().LoadDevices(kDeviceMicroscope | kDeviceFlowMeter), 18u);

  Window flowPane, microscopePane;
  auto flow = std::make_shared<CFlowSampleThread>(Manager(), [] { return 0u; });
  flow->AddListener(flowPane.inbox);
  flow->SetPeriodFactor(1);
  CMicroscopeThread microscopeWorker(0, Manager());
  microscopeWorker.AddListener(microscopePane.inbox);
  microscopeWorker.SetPeriodFactor(1);
  flow->Start(flow);
  ASSERT_TRUE(microscopeWorker.Start());
  for (int i = 0; i < 4; ++i) {
    SCOPED_TRACE(i);
    const std::size_t flows = flowPane.target->Count(), readings = microscopePane.target->Count();
    EXPECT_EQ(Manager().LoadDevices(kDeviceMicroscope | kDeviceFlowMeter), 18u);
    EXPECT_TRUE(flowPane.target->WaitFor(flows + 1));
    EXPECT_TRUE(microscopePane.target->WaitFor(readings + 1));
  }
  microscopeWorker.Stop();
  flow->Stop();
  for (const Posted& p : flowPane.target->Messages()) {
    const std::optional<FMASL1600Data> reading = flowPane.inbox->Take<FMASL1600Data>(p.lParam);
    ASSERT_TRUE(reading);
    EXPECT_NE(reading->flow, 0);
  }
}

TEST_F(WorkerTest, MicroscopeWorkerSetsTheDefaultLightOnlyInItsFirstCycle) {
  Sim::MicroscopeSim sim;
  ASSERT_TRUE(sim.Start());
  sim.SetTemperature(36.5f);
  usb_->devices = {FtdiDevice(kFtdiSerialConverterProductId, "MIC1", sim.DevicePath())};
  ASSERT_EQ(Manager().LoadDevices(kDeviceMicroscope), 16u);
  Microscope& microscope = *Manager().MicroscopeAt(0);
  Window pane, frame;
  CMicroscopeThread worker(2, Manager());
  worker.AddListener(pane.inbox);
  worker.AddListener(frame.inbox);
  const std::size_t before = sim.Requests().size();

  EXPECT_TRUE(worker.HandleMicroscope(microscope, true));
  sim.SetLightLevel(0);
  EXPECT_TRUE(worker.HandleMicroscope(microscope, false));
  worker.SetReadTemperature(false);
  EXPECT_TRUE(worker.HandleMicroscope(microscope, false));
  const Requests all = RequestsAfter(sim, before + 6);
  EXPECT_EQ(Requests(all.begin() + static_cast<std::ptrdiff_t>(before), all.end()),
            (Requests{"?41", "?4i", "=4i;100;", "?41", "?4i", "?4i"}));

  const std::vector<Posted> posted = pane.Of(WM_NEW_SAMPLE);
  ASSERT_EQ(posted.size(), 3u);
  EXPECT_EQ(frame.Of(WM_NEW_SAMPLE).size(), 3u);
  const MicroscopeSample reading = *pane.inbox->Take<MicroscopeSample>(posted[0].lParam);
  EXPECT_EQ(reading.microscope, 2u);
  EXPECT_FLOAT_EQ(reading.temperature, 36.5f);
  EXPECT_EQ(reading.setting, 0);
  EXPECT_EQ(reading.time, 0u);
  EXPECT_EQ(posted[0].wParam, 16u);
}

// A reading that fails (garbage, silence, a reply cut short) sends nothing
// to the microscope and posts nothing; the fourth failure in a row gives
// the microscope up with the device-failed message.
TEST_F(WorkerTest, MicroscopeWorkerSendsAndPostsNothingForAFailedReading) {
  Sim::MicroscopeSim sim;
  ASSERT_TRUE(sim.Start());
  usb_->devices = {FtdiDevice(kFtdiSerialConverterProductId, "MIC1", sim.DevicePath())};
  struct Case {
    const char* name;
    Sim::ReplyMode mode;
    std::size_t partial;
  };
  for (const Case& c : {Case{"garbage", Sim::ReplyMode::Garbage, 0}, Case{"silence", Sim::ReplyMode::Silent, 0},
                        Case{"cut short", Sim::ReplyMode::Partial, 5}}) {
    SCOPED_TRACE(c.name);
    sim.SetMode(Sim::ReplyMode::Normal);
    sim.SetLightLevel(40);
    ASSERT_EQ(Manager().LoadDevices(kDeviceMicroscope), 16u);
    Microscope& microscope = *Manager().MicroscopeAt(0);
    Window pane, frame;
    CMicroscopeThread worker(0, Manager());
    worker.AddListener(pane.inbox);
    worker.SetFailureTarget(frame.target);
    TakeEvents();
    sim.SetMode(c.mode);
    sim.SetPartialLength(c.partial);
    const std::size_t before = sim.Requests().size();
    for (int i = 1; i < CMicroscopeThread::kFailureLimit; ++i) {
      EXPECT_TRUE(worker.HandleMicroscope(microscope, i == 1));
      EXPECT_EQ(worker.Failures(), i);
    }
    EXPECT_TRUE(pane.target->Messages().empty());
    EXPECT_TRUE(frame.target->Messages().empty());
    EXPECT_TRUE(microscope.IsConnected());

    EXPECT_TRUE(worker.HandleMicroscope(microscope, false));
    EXPECT_EQ(frame.target->Messages(), (std::vector<Posted>{{WM_DEVICE_FAILED, kDeviceMicroscope, 0}}));
    EXPECT_TRUE(pane.target->Messages().empty());
    EXPECT_FALSE(microscope.IsConnected());
    EXPECT_EQ(worker.Failures(), 0);
    EXPECT_EQ(Errors(), (std::vector<std::pair<std::uint16_t, std::string>>{
                            {OS::kEventError,
                             "CMicroscopeThread::HandleMicroscope() - Reading from device has failed 4 times - "
                             "closing Microscope 0"}}));
    // Only questions went out: the light was never set.
    const Requests all = sim.Requests();
    for (std::size_t i = before; i < all.size(); ++i) EXPECT_TRUE(all[i].starts_with("?")) << all[i];
    EXPECT_EQ(sim.LightLevel(), 40);
  }
}

TEST(MicroscopeReplyTest, ValueLiesBetweenTheFirstAndSecondSeparator) {
  struct Case {
    const char* reply;
    const char* field;
  };
  for (const Case& c : {Case{">41;36.5;\r", "36.5"}, Case{">41;36.5\r", ""}, Case{">41;", ""}, Case{">4i;36.5;", ""},
                        Case{"", ""}, Case{">41;;\r", ""}, Case{">41;12;34;\r", "12"}}) {
    EXPECT_EQ(MicroscopeReplyField(c.reply, ">41;", ';'), c.field) << c.reply;
  }
}

TEST_F(WorkerTest, MicroscopeAndHeatControllerLoopsDeliverUntilStopped) {
  Sim::MicroscopeSim microscope;
  ASSERT_TRUE(microscope.Start());
  microscope.SetLightLevel(40);
  Sim::HeatControllerSim heater;
  ASSERT_TRUE(heater.Start());
  usb_->devices = {FtdiDevice(kFtdiSerialConverterProductId, "MIC1", microscope.DevicePath()),
                   FtdiDevice(kFtdiHeatControllerProductId, "HC1", heater.DevicePath())};
  ASSERT_EQ(Manager().LoadDevices(kDeviceMicroscope | kDeviceHeatController), 48u);

  Window frame, heaterPane;
  CMicroscopeThread microscopeWorker(0, Manager());
  microscopeWorker.AddListener(frame.inbox);
  microscopeWorker.SetPeriodFactor(1);
  CHeatControllerThread heaterWorker(Manager());
  heaterWorker.AddListener(heaterPane.inbox);
  heaterWorker.SetPeriodFactor(1);
  ASSERT_TRUE(microscopeWorker.Start());
  ASSERT_TRUE(heaterWorker.Start());
  EXPECT_TRUE(frame.target->WaitFor(2));
  EXPECT_TRUE(heaterPane.target->WaitFor(1));
  heaterWorker.Stop();
  microscopeWorker.Stop();

  const Posted fromHeater = heaterPane.target->Messages().front();
  EXPECT_EQ(fromHeater.wParam, 32u);
  const HeatControllerSample sample = *heaterPane.inbox->Take<HeatControllerSample>(fromHeater.lParam);
  EXPECT_FLOAT_EQ(sample.temperatures[0], 36.9f);
  EXPECT_EQ(sample.channelFlags, (std::array<std::uint8_t, 4>{1, 1, 0, 0}));
  const MicroscopeSample reading = *frame.inbox->Take<MicroscopeSample>(frame.target->Messages()[1].lParam);
  EXPECT_EQ(reading.setting, 40);
  // No setting was sent: the light was not off.
  const Requests requests = microscope.Requests();
  EXPECT_EQ(std::count_if(requests.begin(), requests.end(), [](const std::string& r) { return r.starts_with("=4i"); }),
            0);
}

// A multi interface that answers nothing but garbage fails far slower than
// one tick when it is silent: after 5 s of nothing but failures it is given
// up, whatever the count. Its worker opens it again on the port it was on: 2
// s after the give-up, then at doubling waits while it still does not
// answer, and reads it again once it does.
TEST_F(WorkerTest, AFailingMultiInterfaceIsGivenUpInTimeAndOpenedAgainOnceItAnswers) {
  OS::ManualTickSource ticks(100000);
  OS::ScopedTickSource installed(ticks);
  auto unit = LoadMulti(6, 64);
  Window frame;
  CMultiInterfaceSampleThread worker(Manager());
  worker.AddListener(frame.inbox);
  worker.SetFailureTarget(frame.target);
  worker.Prepare();
  unit->SetAllGarbage(true);
  for (int i = 0; i < 10; ++i) {
    CMultiInterfaceSampleThread::TimerCallback(&worker);
    ticks.Advance(CMultiInterfaceSampleThread::kFailingLimitMs / 10 - 1);
  }
  EXPECT_TRUE(frame.target->Messages().empty()) << "not yet 5 s";
  ticks.Advance(10);
  CMultiInterfaceSampleThread::TimerCallback(&worker);
  EXPECT_EQ(frame.target->Messages(), (std::vector<Posted>{{WM_DEVICE_FAILED, 8, 0}}));
  ASSERT_FALSE(Manager().MultiInterface().IsConnected());

  // Not yet due; then due, but the unit still answers garbage.
  ticks.Advance(ReopenSchedule::kFirstMs - 1);
  CMultiInterfaceSampleThread::TimerCallback(&worker);
  EXPECT_FALSE(Manager().MultiInterface().IsConnected());
  ticks.Advance(1);
  CMultiInterfaceSampleThread::TimerCallback(&worker);
  EXPECT_FALSE(Manager().MultiInterface().IsConnected());
  // It answers again: the next try, after twice the wait, opens it.
  unit->SetAllGarbage(false);
  ticks.Advance(2 * ReopenSchedule::kFirstMs - 1);
  CMultiInterfaceSampleThread::TimerCallback(&worker);
  EXPECT_FALSE(Manager().MultiInterface().IsConnected()) << "the wait doubled";
  ticks.Advance(1);
  CMultiInterfaceSampleThread::TimerCallback(&worker);
  EXPECT_TRUE(Manager().MultiInterface().IsConnected());
  CMultiInterfaceSampleThread::TimerCallback(&worker);
  EXPECT_EQ(frame.Of(WM_NEW_SAMPLE).size(), 1u);
  EXPECT_EQ(frame.Of(WM_DEVICE_FAILED).size(), 1u) << "told once";
}

// The heat controller is never closed; after four failed readings in a row
// the frame is told once, and the next reading that succeeds is posted.
TEST_F(WorkerTest, HeatControllerWorkerTellsOnceAfterFourFailuresAndReadsOn) {
  Sim::HeatControllerSim heater;
  ASSERT_TRUE(heater.Start());
  usb_->devices = {FtdiDevice(kFtdiHeatControllerProductId, "HC1", heater.DevicePath())};
  ASSERT_EQ(Manager().LoadDevices(kDeviceHeatController), 32u);
  HeatController& controller = Manager().HeatControllerDevice();
  Window frame, pane;
  CHeatControllerThread worker(Manager());
  worker.AddListener(pane.inbox);
  worker.SetFailureTarget(frame.target);
  TakeEvents();
  heater.SetMode(Sim::ReplyMode::Garbage);
  for (int i = 1; i <= 7; ++i) {
    EXPECT_FALSE(worker.HandleHeatController(controller));
    EXPECT_EQ(worker.Failures(), i);
  }
  EXPECT_EQ(frame.target->Messages(), (std::vector<Posted>{{WM_DEVICE_FAILED, kDeviceHeatController, 0}}));
  EXPECT_TRUE(pane.target->Messages().empty()) << "no reading of a failed cycle";
  EXPECT_TRUE(controller.IsConnected());
  EXPECT_EQ(Errors().size(), 1u);

  heater.SetMode(Sim::ReplyMode::Normal);
  EXPECT_TRUE(worker.HandleHeatController(controller));
  EXPECT_EQ(worker.Failures(), 0);
  EXPECT_EQ(pane.Of(WM_NEW_SAMPLE).size(), 1u);
  EXPECT_EQ(frame.target->Messages().size(), 1u);
}

// A multi interface read on its own timer while a slow window takes the
// copies and a sampler takes the holder's readings on other threads.
TEST_F(WorkerTest, MultiWorkerWithASlowListenerAndASampler) {
  auto unit = LoadMulti(6, 64);
  auto slow = std::make_shared<RecordingTarget>();
  auto inbox = std::make_shared<SampleInbox>(slow);
  CMultiInterfaceSampleThread worker(Manager());
  worker.AddListener(inbox);
  auto holder = std::make_shared<PressureHolder>();
  worker.SetHolder(holder);

  std::atomic<bool> done{false};
  std::size_t taken = 0, sampled = 0;
  bool consistent = true;
  std::thread window([&] {
    std::size_t handled = 0;
    while (!done.load() || handled < slow->Count()) {
      const std::vector<Posted> posted = slow->Messages();
      for (; handled < posted.size(); ++handled) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        if (const auto r = inbox->Take<PMK4xData3>(posted[handled].lParam)) {
          consistent = consistent && r->p1 == unit->GetState().p1 && r->time == 0;
          ++taken;
        }
      }
      std::this_thread::yield();
    }
  });
  std::thread sampler([&] {
    PMK4xData3 newest;
    while (!done.load()) {
      if (holder->TakeNewest(newest)) ++sampled;
      holder->ClearQueue();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
  });
  ASSERT_TRUE(worker.Start());
  EXPECT_TRUE(worker.IsStarted());
  ASSERT_TRUE(slow->WaitFor(20));
  worker.Stop();
  EXPECT_FALSE(worker.IsStarted());
  done.store(true);
  window.join();
  sampler.join();
  EXPECT_TRUE(consistent);
  EXPECT_GT(taken, 0u);
  EXPECT_GT(sampled, 0u);
}

}  // namespace
}  // namespace ORV::Test
