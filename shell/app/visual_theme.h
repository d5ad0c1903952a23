#pragma once
// The program's looks. Each look of the ribbon's look gallery is a palette
// value registered on its command; the application registers them all at
// construction and selects look 29 with its own theme, CORVCustomTheme,
// which draws as the look it derives from and changes nothing of it.
#include <QPalette>
#include <memory>
#include <optional>
#include <vector>

#include "platform/ui/command_router.h"

namespace ORV::Shell {

// The look gallery's commands.
inline constexpr UI::CommandId ID_VIEW_APPLOOK_2007_1 = 32838;
inline constexpr UI::CommandId ID_VIEW_APPLOOK_WIN7 = 32853;
// The look the program starts with.
inline constexpr int kCustomThemeValue = 29;

// Draws the program in one look: here, its palette.
class VisualManager {
 public:
  virtual ~VisualManager() = default;
  // The palette of look `value` (an unknown value gets the light look).
  virtual QPalette Palette(int value) const;
};

// The current look family's manager; the program's theme derives from it.
class VisualManager2019 : public VisualManager {};

// The program's theme: the 2019 look, unchanged.
class CORVCustomTheme : public VisualManager2019 {};

struct VisualThemeEntry {
  int value = 0;
  UI::CommandId command = 0;
};

class VisualThemes {
 public:
  // Registers look `value` on `command`; a command may carry several looks.
  void AddVisualTheme(int value, UI::CommandId command);
  // Registers every look of the gallery in the program's order.
  void RegisterProgramThemes();
  // Makes `value` the current look drawn by `manager` and gives the
  // application its palette (when an application exists).
  void SetVisualTheme(int value, std::unique_ptr<VisualManager> manager);

  const std::vector<VisualThemeEntry>& Registered() const { return themes_; }
  // The looks a command carries, in registration order.
  std::vector<int> ThemesOf(UI::CommandId command) const;
  std::optional<int> Current() const { return current_; }
  const VisualManager* Manager() const { return manager_.get(); }

 private:
  std::vector<VisualThemeEntry> themes_;
  std::optional<int> current_;
  std::unique_ptr<VisualManager> manager_;
};

}  // namespace ORV::Shell
