#pragma once
// A stand-in for the update library: each of the functions the program
// calls records itself, with its arguments, in the order of the calls.
#include <string>
#include <vector>

namespace ORV::Test {

std::vector<std::string>& FreshetCalls();
// The handle the last dialog call was given.
void* LastFreshetHandle();

}  // namespace ORV::Test
