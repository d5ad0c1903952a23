#pragma once
// The program's two control libraries, created by ProgID: the graph control
// (libORVGraph3.so) and the analysis control (libORVAnalysisView3.so). The
// application registers them at its start when their registration is missing
// or points at a file that is gone, from the installed library folder
// ("<prefix>/lib/tarvix5", beside the program's "<prefix>/bin").
#include <string_view>

#include "core/base/event_log.h"
#include "platform/com/control_loader.h"

namespace ORV {

inline constexpr std::string_view kGraphControlProgId = "ORVGRAPH3.ORVGraph3Control.1";
inline constexpr std::string_view kAnalysisControlProgId = "ORVANALYSISVIEW3.ORVAnalysisView3Ctrl.1";
inline constexpr std::string_view kProgramControlProgIds[] = {kGraphControlProgId, kAnalysisControlProgId};

// Registers the controls that are not registered; a failure is logged (the
// views then show no graph or no video) and returned.
inline Com::HRESULT RegisterProgramControls(const Com::ControlFactory& factory = Com::ControlFactory()) {
  const Com::HRESULT hr = factory.RegisterMissing(kProgramControlProgIds);
  if (Com::Failed(hr)) {
    LogWarning("The program's controls could not all be registered from their libraries in \"" +
               (Com::ControlFactory::DefaultLibraryFolders().empty()
                    ? std::string("?")
                    : Com::ControlFactory::DefaultLibraryFolders().front()) +
               "\".");
  }
  return hr;
}

}  // namespace ORV
