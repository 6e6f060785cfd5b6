// Particles: the sparks a body break throws, counted per frame (not scaled by
// the frame time), drawn as additive textured quads in play only.
//
// Depends on: app (settings, textures), world (number parsing), platform (random).
#pragma once

#include <string>

#include "app/video.h"
#include "sim/sim_state.h"

struct Game;

// A uniform random number in [0, 1).
using RandomFn = double (*)();

// Turns the pending break into about ParticleNumber sparks per world unit of
// gap (five random numbers per spark) and clears the event. A missing,
// negative or absurd ParticleNumber gives no (or a bounded number of) sparks:
// at most 10,000 per break, none while 100,000 fly.
void EmitBreakParticles(ParticleList& list, BreakEvent& event,
                        const std::string& particleNumberValue, RandomFn random);
// One frame: living sparks move and fade, dead ones leave the list (the last
// takes the free slot and is advanced in the same frame).
void StepParticles(ParticleList& list);
// Additive quads at z = -6 with one quarter of the colour's sprite sheet.
void DrawParticles(const ParticleList& list, const VideoState& video);

// The play frame's particle step: nothing at all unless "Particle" is
// "Enabled"; emission of a pending break, motion, drawing.
void UpdateAndDrawParticles(Game& game);
