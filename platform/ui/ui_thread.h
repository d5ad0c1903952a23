#pragma once
// Running code on the user-interface (GUI) thread.
//
// The application keeps one hidden message window on the GUI thread. A
// callable handed to it travels as the thread message WM_RUN_ON_UI_THREAD
// (wParam 0, lParam the address of the queued call) and runs when the GUI
// thread handles that message; an lParam of 0 or of a call that is not
// queued is ignored. Calls run in the order they were queued.
//
// This is what the core's user-interface dispatcher runs on: its adapter
// forwards to PostToUiThread (continuations) or RunOnUiThread (a worker that
// waits for its step).
#include <cstdint>
#include <functional>

#include "platform/ui/message_window.h"

namespace ORV::UI {

using OS::WM_RUN_ON_UI_THREAD;

// True on the thread that runs the application's event loop.
bool IsUiThread();

// Queues `call` for the GUI thread and returns at once (also when called on
// the GUI thread). False when `call` is empty or there is no application.
bool PostToUiThread(std::function<void()> call);

// Runs `call` on the GUI thread and returns after it has run: directly when
// called on the GUI thread, else queued and waited for. False when `call` is
// empty, there is no application, or the application went away before the
// call could run.
bool RunOnUiThread(std::function<void()> call);

}  // namespace ORV::UI
