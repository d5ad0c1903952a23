#pragma once
// The anchor of the custom-trace benchmarks: a bare Lua loop, in a plain
// state without limits, that sets the 26 globals a custom trace is given per
// point and calls the same script, for the same number of points. What a
// custom trace costs above it is the cost of handing values to the script.
#include <lua5.3/lua.hpp>
#include <string>
#include <string_view>

namespace ORV::Bench {

// Runs the loop once over `points` points; the sum of the script's values.
inline double BareLuaLoop(std::string_view code, int points) {
  static constexpr const char* kNames[] = {"OuterLeft",
                                           "OuterRight",
                                           "OuterDiameter",
                                           "VesselArea",
                                           "InnerLeft",
                                           "InnerRight",
                                           "InnerDiameter",
                                           "LumenArea",
                                           "LeftWallThickness",
                                           "RightWallThickness",
                                           "AverageWallThickness",
                                           "CrossSectionalArea",
                                           "MediaLumenRatio",
                                           "VascularResistance",
                                           "MeanPressure",
                                           "ShearStress",
                                           "Temp",
                                           "P1",
                                           "P2",
                                           "P4",
                                           "Force",
                                           "PH",
                                           "Pulse",
                                           "current_camera",
                                           "current_zone",
                                           "current_time"};
  std::string text = "local function inner()\n";
  text += code;
  text += "\nend\nlocal s = 0\nfor i = 0, " + std::to_string(points - 1) + " do\n  local f = i % 1000\n";
  int n = 0;
  for (const char* name : kNames) text += "  " + std::string(name) + " = f + " + std::to_string(n++) + "\n";
  text += "  s = s + inner()\nend\nreturn s\n";
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  double sum = 0.0;
  if (luaL_dostring(L, text.c_str()) == LUA_OK) sum = lua_tonumber(L, -1);
  lua_close(L);
  return sum;
}

}  // namespace ORV::Bench
