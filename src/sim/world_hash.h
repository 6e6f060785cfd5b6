// A fingerprint of the simulation: every stored value of the ball and sphere
// tables, the goal, the pending break, the scene flags, the sparks and the
// map lines, as their exact bits. Two runs that hash alike played alike; the
// tests pin the hashes of fixed scenarios, so a lost compiler flag or an
// unintended change of the physics shows at once.
#pragma once

#include <cstdint>
#include <string>

#include "sim/sim_state.h"
#include "world/map.h"

// 64-bit FNV-1a over the state; equal states give equal hashes on every build.
std::uint64_t HashSimulation(const SimState& sim, const MapText& map,
                             const ParticleList& particles);
// The hash as 16 lower-case hex digits.
std::string FormatHash(std::uint64_t hash);
