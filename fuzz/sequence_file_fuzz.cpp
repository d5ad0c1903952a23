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

#include "core/experiment/session.h"
#include "platform/os/folders.h"

namespace {

struct Rig {
  Rig() : folder(ORV::OS::MakePrivateWorkingDir("seqfuzz")) {
    if (folder.empty()) std::abort();
  }
  ~Rig() { ORV::OS::RemoveTree(folder); }
  std::string folder;
  ORV::Session session;
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
  ORV::Session& session = rig.session;
  const std::string input = rig.folder + "/input.seq";
  const std::string output = rig.folder + "/output.seq";
  if (!ORV::OS::AtomicWriteFile(input, std::string_view(reinterpret_cast<const char*>(data), size))) std::abort();

  ORV::SequencerTask marker;
  marker.name = "kept";
  session.tasks = {marker};
  if (!session.LoadSequence(input)) {
    if (session.tasks.size() != 1 || !(session.tasks[0] == marker)) std::abort();
    return 0;
  }
  const std::vector<ORV::SequencerTask> loaded = session.tasks;
  if (loaded.empty() || !session.SaveSequence(output)) std::abort();
  session.ClearTasks();
  if (!session.LoadSequence(output)) std::abort();
  if (WithLineFeeds(session.tasks) != WithLineFeeds(loaded)) std::abort();
  return 0;
}
