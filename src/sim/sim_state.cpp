// Helpers of the simulation state.
#include "sim/sim_state.h"

#include <cmath>

int GoalState::BallIndex() const {
  const double rounded = std::nearbyint(static_cast<double>(GoalBallIndex));
  // A goal index outside every table names no ball.
  if (!(rounded >= 0.0 && rounded <= 1.0e6)) return 0;
  return static_cast<int>(rounded);
}
