#include "core/settings/open_views.h"

#include <cstdint>
#include <filesystem>
#include <limits>
#include <optional>
#include <pugixml.hpp>
#include <string_view>

#include "core/base/event_log.h"
#include "core/base/trace_kinds.h"
#include "platform/os/folders.h"
#include "platform/os/number_text.h"
#include "platform/os/text.h"

namespace ORV {

namespace {

// A text read as an integer the way the file's readers always did (leading
// number, 0 when there is none); nothing when it does not fit 32 bits.
std::optional<std::int32_t> ReadInt(std::string_view text) {
  const long long v = OS::LeadingInt(text);
  if (v < std::numeric_limits<std::int32_t>::min() || v > std::numeric_limits<std::int32_t>::max()) {
    return std::nullopt;
  }
  return static_cast<std::int32_t>(v);
}

void ReopenSheet(TraceWindowHost& host, const pugi::xml_document& doc, const char* path, SheetKind sheet) {
  const pugi::xml_node flag = doc.first_element_by_path(path);
  if (flag && OS::EqualsNoCase(flag.text().get(), "yes")) host.OpenSheet(sheet);
}

void ReopenTrace(TraceWindowHost& host, pugi::xml_node element) {
  const auto code = ReadInt(element.text().get());
  if (!code || !(IsBuiltInTraceKind(*code) || IsCustomTraceId(*code))) {
    LogWarning(std::string("CCustomSettings::ReadOpenViewsXml() - refused the trace code '") + element.text().get() +
               "'");
    return;
  }
  const int window = host.OpenTraceWindow();
  if (window < 0) return;
  host.ShowTrace(window, *code);
  const auto camera = ReadInt(element.attribute("camera").value());
  const auto zone = ReadInt(element.attribute("zone").value());
  if (camera && *camera >= 0 && *camera < kMaxCameraCount) {
    host.SetCamera(window, *camera);
    if (zone && *zone >= kMinSelectedZone && *zone <= kMaxSelectedZone) host.SetZone(window, *camera, *zone);
  }
  host.ConfigureGraphForTrace(window, *code);
}

}  // namespace

std::string OpenViewsFilePath() { return OS::ProductDataDir() + "/Tarvix.xml"; }

int WriteOpenViewsXml(const TraceWindowHost& host, const std::string& path) {
  pugi::xml_document doc;
  pugi::xml_node root = doc.append_child("OpenViews");
  pugi::xml_node views = root.append_child("Views");
  views.append_child("Action").text().set(host.IsSheetOpen(SheetKind::Action) ? "Yes" : "No");
  views.append_child("Data").text().set(host.IsSheetOpen(SheetKind::Data) ? "Yes" : "No");
  pugi::xml_node traces = root.append_child("Traces");
  for (const auto& w : host.TraceWindows()) {
    pugi::xml_node trace = traces.append_child("Trace");
    trace.append_attribute("camera").set_value(w.camera);
    const bool hasZone = w.camera >= 0 && static_cast<std::size_t>(w.camera) < w.zones.size();
    trace.append_attribute("zone").set_value(hasZone ? w.zones[static_cast<std::size_t>(w.camera)] : -1);
    trace.text().set(w.traceCode);
  }
  return doc.save_file(path.c_str(), "\t") ? 0 : -1;
}

void ReadOpenViewsXml(TraceWindowHost& host, const std::string& path) {
  if (!OS::PathExists(path)) return;
  pugi::xml_document doc;
  if (doc.load_file(path.c_str())) {
    ReopenSheet(host, doc, "OpenViews/Views/Action", SheetKind::Action);
    ReopenSheet(host, doc, "OpenViews/Views/Data", SheetKind::Data);
    if (const pugi::xml_node traces = doc.first_element_by_path("OpenViews/Traces")) {
      int count = 0;
      for (pugi::xml_node element = traces.first_child(); element; element = element.next_sibling()) {
        if (element.type() != pugi::node_element) continue;
        if (++count > kMaxReopenedTraceWindows) {
          LogWarning(
              "CCustomSettings::ReadOpenViewsXml() - more trace windows than can be reopened; the rest are skipped");
          break;
        }
        ReopenTrace(host, element);
      }
    }
  } else {
    LogWarning("CCustomSettings::ReadOpenViewsXml() - '" + path + "' does not parse");
  }
  std::error_code ec;
  std::filesystem::remove(path, ec);
}

}  // namespace ORV
