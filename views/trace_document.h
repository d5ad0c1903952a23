#pragma once
// The document behind a trace view: which trace the view shows, which zone
// of its camera it follows, the custom trace for a custom code, and the
// window title built from them. It also owns the registry format of the
// per-kind display settings (axis limits, grid label counts, unit shown,
// automatic Y range) that the view and the trace settings dialog read and
// write.
//
// Settings of a built-in kind live in the section
// "Version\<settings version>\<kind name>" below the product's registry
// root, as the integers "MinimumLimit", "MaximumLimit", "HorizontalLabels",
// "VerticalLabels", "ShowTraceUnit" and "AutoRange" (the last two true only
// when exactly 1). A custom trace keeps its settings in its definition.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "views/trace_texts.h"

namespace ORV {
class AppRegistry;
namespace Traces {
class CustomTracesWithLuaContext;
}
}  // namespace ORV

namespace ORV::Views {

// The display settings of one trace kind.
struct TraceSettings {
  int minimum = 0;
  int maximum = 100;
  int horizontalLabels = 10;
  int verticalLabels = 5;
  bool showTraceUnit = true;
  bool autoRange = false;

  bool operator==(const TraceSettings&) const = default;
};

class CPelmoraDoc {
 public:
  // `registry` is the application's; `settingsVersion` the number of the
  // configuration's "Version" section.
  CPelmoraDoc(AppRegistry& registry, int settingsVersion, TraceTexts texts);

  std::int32_t TraceCode() const { return code_; }
  std::int32_t Zone() const { return zone_; }
  const std::shared_ptr<Traces::CustomTracesWithLuaContext>& TraceSource() const { return source_; }
  const std::string& Title() const { return title_; }
  // Called with the new title whenever it is set.
  void SetTitleListener(std::function<void(const std::string&)> listener) { titleListener_ = std::move(listener); }

  // The trace code and the custom trace shared with the caller (the
  // previous one is released).
  void SetTraceSource(std::int32_t code, std::shared_ptr<Traces::CustomTracesWithLuaContext> source);
  // A built-in trace: the custom trace is released, and the zone cleared
  // for kinds above 10, which follow no camera zone.
  void SetTraceKind(std::int32_t code);

  // The trace's name, with "Zone <n>:" before it when zone is 1 or more (the
  // document then follows that zone).
  void UpdateTitle(int zone);
  // The same with the camera's label in front ("<label>:..."), for
  // experiments with more than one camera.
  void UpdateTitleWithCamera(const std::string& cameraLabel, int zone);

  // Stores the settings of a built-in code (a custom code stores nothing),
  // then takes the code and retitles the document with its zone.
  void WriteTraceSettings(std::int32_t code, const TraceSettings& settings);
  // The settings of a built-in code, the defaults for values never stored,
  // and the unit text: the custom trace's unit when the document holds one,
  // else the kind's.
  TraceSettings ReadTraceSettings(std::int32_t code, std::string& unitText) const;

  // The name shown for the trace: the custom trace's name, else the kind's
  // display name.
  std::string TraceName() const;

 private:
  void SetTitle(std::string title);

  AppRegistry& registry_;
  int settingsVersion_;
  TraceTexts texts_;
  std::int32_t code_ = 0;
  std::int32_t zone_ = -1;
  std::shared_ptr<Traces::CustomTracesWithLuaContext> source_;
  std::string title_;
  std::function<void(const std::string&)> titleListener_;
};

}  // namespace ORV::Views
