// Sequence files come from anywhere: the input is the whole file. A file
// that does not load must leave the task list as it was; one that loads
// must save, and the saved file must load to the same tasks (line ends
// aside: XML reads a carriage return as a line feed).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/configuration.h"
#include "core/experiment/experiment_data.h"
#include "core/storage/relative_time.h"
#include "instruments/interface_manager.h"
#include "instruments/sequencer.h"
#include "platform/os/folders.h"

namespace {

struct Rig {
  Rig() : folder(ORV::OS::MakePrivateWorkingDir("seqfuzz")) {
    if (folder.empty()) std::abort();
  }
  ~Rig() { ORV::OS::RemoveTree(folder); }
  std::string folder;
  ORV::Configuration configuration;
  ORV::RelativeTime::RelativeTime clock;
  ORV::ExperimentData experiment{configuration, clock};
  ORV::InterfaceManager instruments{configuration};
  ORV::Sequencer sequencer{configuration, experiment, instruments};
};

std::vector<ORV::SequencerTask> WithLineFeeds(std::vector<ORV::SequencerTask> tasks) {
  for (ORV::SequencerTask& t : tasks) {
    for (std::string* text : {&t.name, &t.prompt, &t.marker}) std::replace(text->begin(), text->end(), '\r', '\n');
  }
  return tasks;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Rig rig;
  ORV::Sequencer& sequencer = rig.sequencer;
  const std::string input = rig.folder + "/input.seq";
  const std::string output = rig.folder + "/output.seq";
  if (!ORV::OS::AtomicWriteFile(input, std::string_view(reinterpret_cast<const char*>(data), size))) std::abort();

  ORV::SequencerTask marker;
  marker.name = "kept";
  sequencer.tasks = {marker};
  if (!sequencer.LoadSequence(input)) {
    if (sequencer.tasks.size() != 1 || !(sequencer.tasks[0] == marker)) std::abort();
    return 0;
  }
  const std::vector<ORV::SequencerTask> loaded = sequencer.tasks;
  if (loaded.empty() || !sequencer.SaveSequence(output)) std::abort();
  sequencer.ClearTasks();
  if (!sequencer.LoadSequence(output)) std::abort();
  if (WithLineFeeds(sequencer.tasks) != WithLineFeeds(loaded)) std::abort();
  return 0;
}
