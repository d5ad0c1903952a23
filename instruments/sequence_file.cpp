// The sequence file (".seq"): the sequencer's task list as XML.
//
//   <?xml version='1.0' encoding='UTF-8'?>
//   <Sequencer Version="2">
//     <Task>
//       <Name Enabled="yes">...</Name>  <Prompt Wait="no">...</Prompt>
//       <Duration>60</Duration>  <Inlet Wait="no">80</Inlet>
//       <Outlet Wait="no">60</Outlet>  <Temperature Wait="yes">37</Temperature>
//       <Marker Show="yes">...</Marker>  <Pulsation Enabled="no">200</Pulsation>
//     </Task> ...
//   </Sequencer>
//
// Flags are "yes" or "no" (anything but "yes" reads as no), numbers signed
// decimal integers, -1 for none. Files of version 1 carry no pulsation. The
// writer puts no white space between elements.
#include <cstdint>
#include <limits>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/configuration.h"
#include "instruments/sequencer.h"
#include "platform/os/folders.h"
#include "platform/os/number_text.h"

namespace ORV {

namespace {

constexpr const char* kRoot = "Sequencer";
constexpr const char* kVersionAttribute = "Version";
constexpr const char* kWrittenVersion = "2";
constexpr const char* kTask = "Task";
constexpr const char* kYes = "yes";
constexpr const char* kNo = "no";

// A number of the file: leading blanks, an optional sign and the digits up
// to the first other character; no digits give 0, and a value beyond the
// 32-bit range stands at its end.
std::int32_t ReadInt(std::string_view text) {
  const long long v = OS::LeadingInt(text);
  if (v < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  if (v > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(v);
}

// Calls `f` for every node below `root`, in document order (without
// recursion, so deep nesting costs no stack).
template <class F>
void ForEachDescendant(const pugi::xml_node& root, F&& f) {
  for (pugi::xml_node n = root.first_child(); n;) {
    f(n);
    if (n.first_child()) {
      n = n.first_child();
      continue;
    }
    while (n != root && !n.next_sibling()) n = n.parent();
    if (n == root) break;
    n = n.next_sibling();
  }
}

// The text of an element and everything inside it, in document order.
std::string TextOf(const pugi::xml_node& element) {
  std::string text;
  ForEachDescendant(element, [&](const pugi::xml_node& n) {
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text += n.value();
  });
  return text;
}

// Every element named `name` below `root`, in document order.
std::vector<pugi::xml_node> ElementsNamed(const pugi::xml_node& root, std::string_view name) {
  std::vector<pugi::xml_node> found;
  ForEachDescendant(root, [&](const pugi::xml_node& n) {
    if (n.type() == pugi::node_element && name == n.name()) found.push_back(n);
  });
  return found;
}

// The value of a flag attribute: false when the element lacks it.
bool ReadFlag(const pugi::xml_node& element, const char* attribute, std::uint8_t& flag) {
  const pugi::xml_attribute a = element.attribute(attribute);
  if (!a) return false;
  flag = std::string_view(a.value()) == kYes ? 1 : 0;
  return true;
}

// Reads one "Task" element; false when a known child lacks its attribute.
bool ReadTask(const pugi::xml_node& element, int version, SequencerTask& task) {
  for (const pugi::xml_node& child : element.children()) {
    if (child.type() != pugi::node_element) continue;
    const std::string_view name = child.name();
    if (name == "Name") {
      task.name = TextOf(child);
      if (!ReadFlag(child, "Enabled", task.enabled)) return false;
    } else if (name == "Duration") {
      task.duration = ReadInt(TextOf(child));
    } else if (name == "Prompt") {
      task.prompt = TextOf(child);
      if (!ReadFlag(child, "Wait", task.promptUser)) return false;
    } else if (name == "Inlet") {
      task.p1 = ReadInt(TextOf(child));
      if (!ReadFlag(child, "Wait", task.waitP1)) return false;
    } else if (name == "Outlet") {
      task.p2 = ReadInt(TextOf(child));
      if (!ReadFlag(child, "Wait", task.waitP2)) return false;
    } else if (name == "Temperature") {
      task.temperature = ReadInt(TextOf(child));
      if (!ReadFlag(child, "Wait", task.waitTemperature)) return false;
    } else if (name == "Marker") {
      task.marker = TextOf(child);
      if (!ReadFlag(child, "Show", task.showMarker)) return false;
    } else if (name == "Pulsation" && version > 1) {
      task.pulseRate = ReadInt(TextOf(child));
      if (!ReadFlag(child, "Enabled", task.pulsation)) return false;
    }
  }
  return true;
}

void AddChild(pugi::xml_node task, const char* name, const char* attribute, std::uint8_t flag,
              const std::string& text) {
  pugi::xml_node element = task.append_child(name);
  if (attribute != nullptr) element.append_attribute(attribute).set_value(flag == 1 ? kYes : kNo);
  if (!text.empty()) element.append_child(pugi::node_pcdata).set_value(text.c_str());
}

// Collects what pugixml writes.
class StringWriter final : public pugi::xml_writer {
 public:
  void write(const void* data, std::size_t size) override { text.append(static_cast<const char*>(data), size); }
  std::string text;
};

}  // namespace

bool Sequencer::LoadSequence(const std::string& path) {
  if (path.empty() || !OS::PathExists(path) || OS::IsDirectory(path)) return false;
  // A sequence is a few kilobytes; anything beyond the cap is not one, and
  // is not read into memory.
  std::string text;
  if (!OS::ReadFile(path, text, kMaxFileBytes)) return false;
  pugi::xml_document document;
  if (!document.load_buffer(text.data(), text.size(), pugi::parse_default | pugi::parse_ws_pcdata)) return false;
  const pugi::xml_attribute versionAttribute = document.document_element().attribute(kVersionAttribute);
  if (!versionAttribute) return false;
  const int version = ReadInt(versionAttribute.value());

  std::vector<SequencerTask> loaded;
  for (const pugi::xml_node& element : ElementsNamed(document, kTask)) {
    SequencerTask task;
    if (!ReadTask(element, version, task)) return false;
    loaded.push_back(std::move(task));
  }
  if (loaded.empty()) return false;

  tasks = std::move(loaded);
  configuration_.LastOpenedSequenceFile = path;
  sequenceModified = 0;
  return true;
}

bool Sequencer::SaveSequence(const std::string& path) {
  if (path.empty()) return false;
  pugi::xml_document document;
  pugi::xml_node declaration = document.append_child(pugi::node_pi);
  declaration.set_name("xml");
  declaration.set_value("version='1.0' encoding='UTF-8'");
  pugi::xml_node root = document.append_child(kRoot);
  root.append_attribute(kVersionAttribute).set_value(kWrittenVersion);

  for (const SequencerTask& t : tasks) {
    pugi::xml_node task = root.append_child(kTask);
    AddChild(task, "Name", "Enabled", t.enabled, t.name);
    AddChild(task, "Prompt", "Wait", t.promptUser, t.prompt);
    AddChild(task, "Duration", nullptr, 0, OS::FormatInt(t.duration));
    AddChild(task, "Inlet", "Wait", t.waitP1, OS::FormatInt(t.p1));
    AddChild(task, "Outlet", "Wait", t.waitP2, OS::FormatInt(t.p2));
    AddChild(task, "Temperature", "Wait", t.waitTemperature, OS::FormatInt(t.temperature));
    AddChild(task, "Marker", "Show", t.showMarker, t.marker);
    AddChild(task, "Pulsation", "Enabled", t.pulsation, OS::FormatInt(t.pulseRate));
  }

  StringWriter writer;
  document.save(writer, "", pugi::format_raw | pugi::format_no_declaration, pugi::encoding_utf8);
  // The previous file stays whole until the new one is complete on disk.
  if (!OS::AtomicWriteFile(path, writer.text)) return false;
  configuration_.LastOpenedSequenceFile = path;
  sequenceModified = 0;
  return true;
}

}  // namespace ORV
