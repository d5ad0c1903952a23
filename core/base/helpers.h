#pragma once
// Small shared functions: clock texts, wall shear stress, random short names,
// paths and folders, the DPI query and the high-resolution sleep.
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace ORV {

// Process-wide pi, 4 * atan(1).
extern const double kPi;

// Whole seconds as "h:mm:ss", "m:ss" or "s".
std::string FormatTimeSeconds(std::uint32_t seconds);
// Seconds with hundredths as "h:mm:ss.ss", "mm:ss.ss" or "ss.ss".
std::string FormatTimeSecondsFraction(double seconds);
// Reads "h:m:s", "m:s" or "s" (digits, ':' and white space only; each field
// may carry a sign) into seconds. A null text, any other character, more
// than two ':' or a field too long to be a time give false.
bool ParseTimeText(const char* text, std::int64_t& seconds);
bool ParseTimeText(std::string_view text, std::int64_t& seconds);

// Wall shear stress from two wall positions and the flow.
double ShearStress(double a, double b, double flow);

// The 30 characters random names are made of.
inline constexpr std::string_view kRandomNameAlphabet = "abcDefGhiJklMnoPQrsT0123456789";
// Four characters of the alphabet chosen from one draw of `draw`.
std::string MakeRandomName(const std::function<std::uint32_t()>& draw);
// Draws from a generator seeded with the tick count.
std::string MakeRandomName();

// The part after the last "/" or "\" (the whole text when there is none).
std::string GetFileNamePart(std::string_view path);
// The user's temporary folder, ending with "/".
std::string GetTempFolderPath();
// The user's local application-data folder ($XDG_DATA_HOME); empty when unknown.
std::string GetKnownFolderPath();
// a, then "/" unless a is empty or already ends with "/" or "\", then b.
std::string JoinPath(std::string_view a, std::string_view b);
// The parts joined by single "/": one leading and one trailing separator of
// each part is dropped ("/tmp/" and "ORV-TX5" give "/tmp/ORV-TX5"; a first
// part that is an absolute path keeps its leading "/").
std::string BuildPath(std::initializer_list<std::string_view> parts);
std::string BuildPath(const std::vector<std::string>& parts);

// Deletes the regular files directly inside `folder`. Returns the number
// deleted, or -1 at the first file that could not be deleted.
int DeleteFilesInFolder(std::string_view folder);

// The DPI of the screen: the installed provider's answer, else DefaultDpi().
int DefaultDpi();
int QueryDpi();
void SetDpiProvider(std::function<int()> provider);
// Scales a size given at 96 DPI.
int ScaleByDpi(int value, int dpi);

// Sleeps for an interval in units of 100 ns. The first call on each thread
// asks for the finest timer slack.
void HighResolutionSleep(std::int64_t interval100ns);

}  // namespace ORV
