#pragma once
// What long experiment-file operations need of the application: a progress
// display and a yes/no question. The shell implements them over its progress
// dialog and message boxes; tests use fakes. Progress calls may come from a
// worker thread.
#include <string>

namespace ORV {

class ProgressHook {
 public:
  virtual ~ProgressHook() = default;
  // Shows the display with a caption; false when it cannot be shown.
  virtual bool Start(const std::string& caption) = 0;
  // Pushes the current state and begins a stage of `steps` steps at 0.
  virtual void BeginStage(const std::string& text, int steps) = 0;
  // Sets the position within the current stage.
  virtual void SetPosition(int position) = 0;
  // Returns to the state pushed by the matching BeginStage.
  virtual void EndStage() = 0;
  // Advances one step.
  virtual void Step() = 0;
  // Closes the display.
  virtual void Finish() = 0;
};

class PromptHook {
 public:
  virtual ~PromptHook() = default;
  // Asks a yes/no question; true for Yes.
  virtual bool AskYesNo(const std::string& text, const std::string& caption) = 0;
};

}  // namespace ORV
