#pragma once
// The program's owner: it makes every object the program owns, in the order
// they depend on each other, and hands each to what needs it. Nothing below
// it finds these objects by itself; what is not handed in is not there.
//
//   Configuration      the settings, the program's own: loaded by the
//                      application at start-up, saved by the frame's close
//   RelativeTime       the experiment clock
//   Session            the experiment record, on the settings and the clock
//   InterfaceManager   the instruments, on the settings
//   CPelmoraApp        the application object, on the settings, the clock
//                      and the record; it makes the main frame through the
//                      factory set here, which hands the frame the settings,
//                      the record, the instruments and the application
//
// The program's entry point makes one; the whole-program tests make their
// own, so they run the program as it is put together here.
#include <memory>

#include "core/base/configuration.h"
#include "core/experiment/session.h"
#include "core/storage/relative_time.h"
#include "instruments/interface_manager.h"
#include "shell/app/pelmora_app.h"

namespace ORV {

class Program {
 public:
  // The program with `options` (command line, event log, settings store);
  // its frame factory and trace glue's host are the program's own.
  explicit Program(Shell::AppOptions options);
  ~Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  Configuration& Settings() { return configuration_; }
  RelativeTime::RelativeTime& Clock() { return clock_; }
  ExperimentData& Experiment() { return session_.Experiment(); }
  InterfaceManager& Instruments() { return instruments_; }
  Shell::CPelmoraApp& App() { return *app_; }

 private:
  // Declared in the order they are made; they go in the reverse order, the
  // application (and its frame) first.
  Configuration configuration_;
  RelativeTime::RelativeTime clock_;
  Session session_;
  InterfaceManager instruments_;
  std::unique_ptr<Shell::CPelmoraApp> app_;
};

}  // namespace ORV
