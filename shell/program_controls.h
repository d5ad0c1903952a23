#pragma once
// The program's two control libraries, created by ProgID: the graph control
// (libORVGraph3.so) and the analysis control (libORVAnalysisView3.so). The
// application registers them at its start from its own library folder
// ("<prefix>/lib/tarvix5" beside the program's "<prefix>/bin") when their
// registration is missing, stale or names another installation's library.
#include <string_view>

#include "core/base/event_log.h"
#include "platform/com/control_loader.h"

namespace ORV {

inline constexpr std::string_view kGraphControlProgId = "ORVGRAPH3.ORVGraph3Control.1";
inline constexpr std::string_view kAnalysisControlProgId = "ORVANALYSISVIEW3.ORVAnalysisView3Ctrl.1";
inline constexpr std::string_view kProgramControlProgIds[] = {kGraphControlProgId, kAnalysisControlProgId};

// Registers the controls as above and returns the result. A library that is
// there but cannot be registered is logged (the views then show no graph or
// no video); finding none (a program outside an installation) is not.
inline Com::HRESULT RegisterProgramControls(const Com::ControlFactory& factory = Com::ControlFactory()) {
  const Com::HRESULT hr = factory.RegisterFromFolders(kProgramControlProgIds);
  if (Com::Failed(hr) && hr != Com::REGDB_E_CLASSNOTREG) {
    LogWarning("The program's controls could not all be registered from their libraries in \"" +
               (Com::ControlFactory::DefaultLibraryFolders().empty()
                    ? std::string("?")
                    : Com::ControlFactory::DefaultLibraryFolders().front()) +
               "\".");
  }
  return hr;
}

}  // namespace ORV
