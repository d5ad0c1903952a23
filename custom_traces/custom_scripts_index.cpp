#include "custom_traces/custom_scripts_index.h"

#include <filesystem>
#include <pugixml.hpp>
#include <sstream>

#include "core/base/event_log.h"
#include "core/base/paths.h"
#include "platform/os/file_replace.h"
#include "platform/os/folders.h"
#include "platform/os/number_text.h"

namespace ORV::Traces {

std::string CustomScriptsFolder() { return OS::ProductDataDir() + "/Custom Scripts"; }

CustomTraceList& LoadCustomScriptsIndex(const std::string& folder, CustomTraceList& list, bool createFolder) {
  if (!OS::IsDirectory(folder) && (!createFolder || !OS::EnsureDir(folder))) return list;
  const std::string indexPath = JoinPath(folder, kCustomScriptsIndexName);
  std::error_code ec;
  std::string text;
  if (!std::filesystem::is_regular_file(indexPath, ec) || !OS::ReadFile(indexPath, text, kMaxIndexFileBytes)) {
    return list;
  }
  pugi::xml_document doc;
  if (!doc.load_buffer(text.data(), text.size(), pugi::parse_default, pugi::encoding_auto)) {
    LogWarning("Custom traces: \"" + indexPath + "\" is not well-formed XML; no custom traces are loaded.");
    return list;
  }
  std::size_t entries = 0;
  for (pugi::xml_node entry : doc.document_element().children()) {
    if (entry.type() != pugi::node_element) continue;
    const std::string_view name = entry.attribute("name").value();
    if (!OS::IsBareFileName(name)) {
      LogWarning("Custom traces: the index entry \"" + std::string(name.substr(0, 300)) +
                 "\" is not a plain file name and is ignored.");
      continue;
    }
    if (entries == kMaxIndexEntries) {
      LogWarning("Custom traces: the index lists more than " + OS::FormatInt(kMaxIndexEntries) +
                 " scripts; the rest are ignored.");
      break;
    }
    ++entries;
    std::string error;
    auto trace = ReadCustomTraceXml(JoinPath(folder, name), &error);
    if (!error.empty()) LogWarning("Custom traces: \"" + trace->FileName + "\": " + error + ".");
    auto context = std::make_shared<CustomTracesWithLuaContext>();
    context->SetTrace(std::move(trace));
    list.push_back(std::move(context));
  }
  return list;
}

CustomTraceList LoadCustomScriptsIndex(const std::string& folder) {
  CustomTraceList list;
  LoadCustomScriptsIndex(folder, list);
  return list;
}

std::string FormatCustomScriptsIndex(const CustomTraceList& list, IndexIds ids) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("Scripts");
  for (const auto& context : list) {
    const auto trace = context ? context->GetTrace() : nullptr;
    if (trace == nullptr || trace->FileName.empty()) continue;
    pugi::xml_node entry = root.append_child("Script");
    entry.append_attribute("name") = GetFileNamePart(trace->FileName).c_str();
    if (ids == IndexIds::Written) entry.append_attribute("id") = trace->Id.c_str();
  }
  std::ostringstream out;
  doc.save(out, "\t", pugi::format_default, pugi::encoding_utf8);
  return std::move(out).str();
}

bool WriteCustomScriptsIndex(const std::string& folder, const CustomTraceList& list, IndexIds ids) {
  return OS::AtomicWriteFile(JoinPath(folder, kCustomScriptsIndexName), FormatCustomScriptsIndex(list, ids));
}

}  // namespace ORV::Traces
