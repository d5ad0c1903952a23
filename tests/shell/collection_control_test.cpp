// Start, stop and pause of a data collection on a fake host that logs every
// call in order, the status texts of the once-a-second refresh, and the
// marker keys.
#include "shell/collection_control.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <deque>
#include <map>
#include <mutex>
#include <set>
#include <thread>
#include <vector>

namespace ORV {
namespace {

using Log = std::vector<std::string>;

class FakeHost final : public CollectionHost {
 public:
  // Answers to the questions, by string id (Yes unless set).
  std::map<std::uint32_t, bool> answers;
  // Questions answered with Cancel, by string id.
  std::set<std::uint32_t> cancelled;
  bool stopAnswer = true;
  bool modified = false;
  bool saveSucceeds = true;
  bool backup = true;
  bool recording = false;
  bool playing = false;
  bool liveTrace = false;
  bool clockRunning = false;
  int detected = 2;
  std::vector<bool> capturing{true, true};
  std::uint32_t state = kLiveIdle;
  std::uint32_t clock = 5000;
  std::uint32_t startTick = 0;
  std::uint32_t stopTick = 0;
  Log log;
  std::thread::id uiThread = std::this_thread::get_id();
  std::vector<std::thread::id> stopRecordingThreads;

  std::string Text(std::uint32_t id) override { return "#" + std::to_string(id); }
  bool AskYesNo(const std::string& text) override {
    Add("ask " + text);
    const auto it = answers.find(static_cast<std::uint32_t>(std::stoul(text.substr(1))));
    return it == answers.end() || it->second;
  }
  SaveAnswer AskSaveChanges(const std::string& text) override {
    if (cancelled.contains(static_cast<std::uint32_t>(std::stoul(text.substr(1))))) {
      Add("ask " + text);
      return SaveAnswer::Cancel;
    }
    return AskYesNo(text) ? SaveAnswer::Yes : SaveAnswer::No;
  }
  bool AskStop(const std::string& text) override {
    Add("askStop " + text);
    return stopAnswer;
  }
  std::uint32_t CollectionState() override { return state; }
  void SetCollectionState(std::uint32_t s) override {
    Add("state " + std::to_string(s));
    state = s;
  }
  bool Modified() override { return modified; }
  bool SaveExperiment() override {
    Add("save");
    return saveSucceeds;
  }
  bool BackupEnabled() override { return backup; }
  int RecordCameraCount() override { return static_cast<int>(capturing.size()); }
  std::string RecordCameraName(int camera) override { return "cam" + std::to_string(camera); }
  void SetStartTick(std::uint32_t tick) override {
    Add("startTick " + std::to_string(tick));
    startTick = tick;
  }
  std::uint32_t StartTick() override { return startTick; }
  void SetStopTick(std::uint32_t tick) override {
    Add("stopTick " + std::to_string(tick));
    stopTick = tick;
  }
  void ClearRecord() override { Add("clear"); }
  void StartRunningBackup() override { Add("backup"); }
  void ResetStores() override { Add("resetStores"); }
  void NotifyStarted(std::uint32_t tick) override { Add("notify " + std::to_string(tick)); }
  void AddMarkerNow(const std::string& text, int camera) override {
    Add("marker " + text + " " + std::to_string(camera));
  }
  void ClockStop() override { Add("clockStop"); }
  void ClockStart() override {
    Add("clockStart");
    clockRunning = true;
  }
  void ClockPause() override {
    Add("clockPause");
    clockRunning = false;
  }
  std::uint32_t ClockNow() override { return clock; }
  bool ClockRunning() override { return clockRunning; }
  int DetectedCameraCount() override { return detected; }
  bool VideoRecordingEnabled() override { return recording; }
  void EnableVideoRecording() override {
    Add("enableRecording");
    recording = true;
  }
  bool IsVideoPlaying(int) override { return playing; }
  bool IsCapturing(int window) override { return capturing[window]; }
  void ConnectCamera(int index, const std::string& name) override {
    Add("connect " + std::to_string(index) + " " + name);
  }
  void SetExperimentStartTime(int window, std::uint32_t tick) override {
    Add("startTime " + std::to_string(window) + " " + std::to_string(tick));
  }
  void StartRecording(int window) override { Add("startRecording " + std::to_string(window)); }
  void StopRecording(int window) override {
    Add("stopRecording " + std::to_string(window));
    stopRecordingThreads.push_back(std::this_thread::get_id());
  }
  void ResetSampling() override { Add("resetSampling"); }
  void ClearSheets() override { Add("clearSheets"); }
  void SetDrawNoSaveData(bool on) override { Add(std::string("noSave ") + (on ? "on" : "off")); }
  bool LiveTrace() override { return liveTrace; }
  void SetLiveTrace(bool on) override {
    Add(std::string("live ") + (on ? "on" : "off"));
    liveTrace = on;
  }

  // The task runs on a thread of its own while this thread runs the calls
  // queued for it, as the wait dialog's loop does.
  void RunBehindWaitDialog(std::function<int()> task) override {
    Add("wait");
    std::unique_lock lock(mutex_);
    bool done = false;
    std::thread worker([&] {
      task();
      std::lock_guard guard(mutex_);
      done = true;
      wake_.notify_all();
    });
    while (!done || !queue_.empty()) {
      wake_.wait(lock, [&] { return done || !queue_.empty(); });
      while (!queue_.empty()) {
        auto call = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        call();
        lock.lock();
      }
    }
    lock.unlock();
    worker.join();
    Add("waitEnd");
  }
  void RunOnUiThread(std::function<void()> call) override {
    if (std::this_thread::get_id() == uiThread) return call();
    std::unique_lock lock(mutex_);
    bool ran = false;
    queue_.push_back([&] {
      call();
      std::lock_guard guard(mutex_);
      ran = true;
      wake_.notify_all();
    });
    wake_.notify_all();
    wake_.wait(lock, [&] { return ran; });
  }

  void SetStartStopButton(const std::string& text, int image) override {
    Add("startButton " + text + " " + std::to_string(image));
  }
  void SetPauseButton(const std::string& text, int image) override {
    Add("pauseButton " + text + " " + std::to_string(image));
  }
  void SetStatusStart(const std::string& text, const std::string& tip) override { Add("status " + text + " " + tip); }
  void MarkElapsedLabel(bool marked, bool now) override {
    Add(std::string("mark ") + (marked ? "on" : "off") + (now ? " now" : ""));
  }
  void Relayout(int delta) override { Add("relayout " + std::to_string(delta)); }

 private:
  void Add(std::string entry) {
    std::lock_guard guard(logMutex_);
    log.push_back(std::move(entry));
  }
  std::mutex logMutex_;
  std::mutex mutex_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> queue_;
};

TEST(CollectionStart, RunsEveryStepInOrder) {
  FakeHost host;
  host.modified = true;
  host.capturing = {true, false};
  CollectionControl control(host);
  control.OnStartStop();
  EXPECT_EQ(host.log, (Log{"ask #189", "save", "ask #232", "enableRecording", "ask #224", "connect 1 cam1",
                           // Time zero once every question is answered.
                           "resetSampling", "clockStop", "startTick 5000", "clear", "backup", "state 0", "notify 5000",
                           "clockStart", "startTime 0 5000", "startTime 1 5000", "clearSheets", "startRecording 0",
                           "startRecording 1", "noSave off", "live on", "status #221 #223", "mark on", "relayout 1",
                           "startButton #231 30", "pauseButton #237 29"}));
  EXPECT_EQ(host.state, kCollecting);
}

TEST(CollectionStart, AsksOnlyWhatApplies) {
  struct Case {
    const char* name;
    bool modified, recording, playing;
    int detected;
    std::vector<bool> capturing;
    std::map<std::uint32_t, bool> answers;
    Log questions;  // the questions and what they led to
  };
  const Case cases[] = {
      {"nothing to ask", false, true, false, 2, {true, true}, {}, {}},
      {"no camera detected", false, false, false, 0, {}, {}, {}},
      {"camera 0 plays a video", false, false, true, 1, {true}, {}, {}},
      {"No to every question still starts",
       true,
       false,
       false,
       1,
       {false},
       {{189, false}, {232, false}, {224, false}},
       {"ask #189", "ask #232", "ask #224"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeHost host;
    host.modified = c.modified;
    host.recording = c.recording;
    host.playing = c.playing;
    host.detected = c.detected;
    host.capturing = c.capturing;
    host.answers = c.answers;
    CollectionControl control(host);
    EXPECT_TRUE(control.Start());
    Log questions;
    for (const std::string& entry : host.log) {
      if (entry.rfind("ask", 0) == 0 || entry == "save" || entry == "enableRecording" || entry.rfind("connect", 0) == 0)
        questions.push_back(entry);
    }
    EXPECT_EQ(questions, c.questions);
    EXPECT_EQ(host.state, kCollecting);
  }
}

TEST(CollectionStart, AFailedSaveAfterYesKeepsTheDataAndDoesNotStart) {
  FakeHost host;
  host.modified = true;
  host.saveSucceeds = false;
  CollectionControl control(host);
  EXPECT_FALSE(control.Start());
  EXPECT_EQ(host.log, (Log{"ask #189", "save"}));
  EXPECT_EQ(host.state, kLiveIdle);
}

TEST(CollectionStart, CancelOnTheSaveQuestionStartsNothing) {
  FakeHost host;
  host.modified = true;
  host.cancelled = {189};
  CollectionControl control(host);
  EXPECT_FALSE(control.Start());
  EXPECT_EQ(host.log, (Log{"ask #189"})) << "nothing saved, cleared or started";
  EXPECT_EQ(host.state, kLiveIdle);
}

TEST(CollectionStart, WithoutRunningBackupStartsNone) {
  FakeHost host;
  host.backup = false;
  host.liveTrace = true;
  CollectionControl control(host);
  EXPECT_TRUE(control.Start());
  EXPECT_EQ(host.state, kCollecting) << "the collection runs without the backup";
  for (const std::string& entry : host.log) {
    EXPECT_NE(entry, "backup");
    EXPECT_NE(entry, "live on");
  }
}

TEST(CollectionStop, NoLeavesEverythingAsItWas) {
  FakeHost host;
  host.state = kCollecting;
  host.stopAnswer = false;
  CollectionControl control(host);
  control.OnStartStop();
  EXPECT_EQ(host.log, (Log{"askStop #249"}));
  EXPECT_EQ(host.state, kCollecting);
}

TEST(CollectionStop, StopsBehindTheWaitDialogAndStopsRecordingOnTheUiThread) {
  FakeHost host;
  host.state = kCollecting;
  host.liveTrace = true;
  host.clock = 9000;
  CollectionControl control(host);
  control.OnStartStop();
  EXPECT_EQ(host.log,
            (Log{"askStop #249", "marker #227 -1", "wait", "clockPause", "stopTick 9000", "state 2", "resetStores",
                 "stopRecording 0", "stopRecording 1", "waitEnd", "status #220 #222", "mark on now", "mark off",
                 "noSave on", "relayout -1", "startButton #137 28", "pauseButton #237 29"}));
  ASSERT_EQ(host.stopRecordingThreads.size(), 2u);
  for (const std::thread::id& id : host.stopRecordingThreads) EXPECT_EQ(id, host.uiThread);
  EXPECT_EQ(host.state, kLiveIdle);
  EXPECT_TRUE(host.liveTrace);
}

TEST(CollectionPause, MarksCameraZeroOnPauseAndNothingOnResume) {
  FakeHost host;
  host.state = kCollecting;
  host.clockRunning = true;
  CollectionControl control(host);
  EXPECT_TRUE(control.PauseEnabled());
  control.OnPause();
  control.OnPause();
  EXPECT_EQ(host.log, (Log{"marker #236 0", "clockPause", "pauseButton #238 31", "clockStart", "pauseButton #237 29"}));
}

TEST(CollectionCommands, EnableRulesAndDoNothingInOtherStates) {
  const struct {
    std::uint32_t state;
    bool startStop, pause;
  } cases[] = {{kLiveIdle, true, false}, {kCollecting, true, true}, {kShowingFile, false, false}};
  for (const auto& c : cases) {
    FakeHost host;
    host.state = c.state;
    CollectionControl control(host);
    EXPECT_EQ(control.StartStopEnabled(), c.startStop) << c.state;
    EXPECT_EQ(control.PauseEnabled(), c.pause) << c.state;
  }
  FakeHost host;
  host.state = kShowingFile;
  CollectionControl control(host);
  control.OnStartStop();
  control.OnPause();
  EXPECT_TRUE(host.log.empty());
  host.state = kLiveIdle;
  control.OnPause();
  EXPECT_TRUE(host.log.empty());
}

TEST(CollectionMarkers, AKeyMarksEveryCameraWithItsTextEvenEmpty) {
  FakeHost host;
  host.state = kShowingFile;
  CollectionControl control(host);
  control.OnMarkerKey("Drug A");
  control.OnMarkerKey("");
  EXPECT_EQ(host.log, (Log{"marker Drug A -1", "marker  -1"}));
}

TEST(StatusTexts, ElapsedAndInstrumentTime) {
  const struct {
    std::uint32_t now, start;
    const char* text;
  } cases[] = {{59600, 0, "| 1:00 |"},
               {3599400 + 1000, 1000, "| 59:59 |"},
               {3600000, 0, "| 1:00:00 |"},
               {9000, 0, "| 9 |"},
               {100, 0xFFFFFF9C, "| 0 |"}};  // the tick count wrapped
  for (const auto& c : cases) EXPECT_EQ(ElapsedTimeText(c.now, c.start), c.text) << c.now;
  // The instrument's clock: minutes and seconds in two digits.
  const struct {
    int hours, minutes, seconds;
    const char* text;
  } clocks[] = {
      {12, 57, 9, "12:57:09  |"}, {1, 2, 3, "1:02:03  |"}, {0, 0, 0, "0:00:00  |"}, {23, 59, 59, "23:59:59  |"}};
  for (const auto& c : clocks) EXPECT_EQ(InstrumentTimeText(true, c.hours, c.minutes, c.seconds), c.text) << c.text;
  EXPECT_EQ(InstrumentTimeText(false, 1, 2, 3), "");
}

}  // namespace
}  // namespace ORV
