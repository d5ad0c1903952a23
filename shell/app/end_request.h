#pragma once
// The process was told to end (SIGTERM, SIGHUP or SIGINT: a logout, a
// shutdown, a kill): set once, by the frame's termination watch. From then
// on nothing waits for the user: start-up runs no event loop, and a question
// asked meanwhile has no answer (whatever it guarded stays as it was, a
// running backup among it). Any thread.
namespace ORV::Shell {

void RequestEnd();
bool EndRequested();

}  // namespace ORV::Shell
