// Particles: the sparks a body break throws, counted per frame (not scaled by
// the frame time). The random source is the caller's, so two worlds never
// share one.
#pragma once

#include <functional>
#include <string>

#include "sim/sim_state.h"

// A uniform random number in [0, 1).
using RandomFn = std::function<double()>;

// The most sparks per world unit of gap a "ParticleNumber" gives: more would
// fill the screen with so many that play stutters.
constexpr double kMaxParticleNumber = 100.0;

// Turns the pending break into about ParticleNumber sparks per world unit of
// gap (five random numbers per spark) and clears the event. A missing or
// negative ParticleNumber gives no sparks, one above kMaxParticleNumber
// gives as many as kMaxParticleNumber; and whatever the gap, at most 10,000
// per break, none while 100,000 fly.
void EmitBreakParticles(ParticleList& list, BreakEvent& event,
                        const std::string& particleNumberValue, const RandomFn& random);
// One frame: living sparks move and fade, dead ones leave the list (the last
// takes the free slot and is advanced in the same frame).
void StepParticles(ParticleList& list);
