#include "session/watch.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>

#include "game/game.h"
#include "platform/platform.h"
#include "session/replays.h"

namespace {

std::string Result(std::uint8_t mode, bool won, float time) {
  return std::string(mode == 2 ? "Ueberleben"
                     : won     ? "Rennen gewonnen"
                               : "Rennen verloren") +
         " " + FormatFloat7(time) + " s";
}

}  // namespace

void PlayReplay(Game& game, const Replay& replay, bool paced, const PlayScreen& screen,
                bool holdEnd) {
  ReplayState& r = game.replay;
  r = ReplayState();
  r.watching = true;
  r.paced = paced;
  r.quiet = !paced && !screen.draw;
  r.holdEnd = holdEnd;
  r.playing = replay;
  const std::string particle = SettingsGet(game.settings, "Particle");
  const std::string number = SettingsGet(game.settings, "ParticleNumber");
  SettingsSet(game.settings, "Particle", replay.particle);
  SettingsSet(game.settings, "ParticleNumber", replay.particleNumber);
  game.select.ChosenLevelFile = replay.levelFile;
  game.select.SelectedMode = replay.mode;
  // The recorded player's G presses hide their ghost, not the watcher's.
  const std::uint8_t ghostHidden = game.session.GhostHidden;
  StartLevel(game, screen);
  game.session.GhostHidden = ghostHidden;
  plat::TapStop();
  SettingsSet(game.settings, "Particle", particle);
  SettingsSet(game.settings, "ParticleNumber", number);
  r.watching = false;
}

bool JudgeReplay(const Game& game, const Replay& replay, std::string& text) {
  const ReplayState& r = game.replay;
  const long long frames = static_cast<long long>(ReplayFrames(replay));
  const std::string& tapWhat = plat::TapMismatch();
  const long long tapFrame = plat::TapMismatchFrame();
  auto mismatch = [&](long long frame, const std::string& what) {
    text = "mismatch at frame " + std::to_string(frame) + ": " + what;
    return false;
  };
  if (!r.trackMismatch.empty() && (tapWhat.empty() || r.trackMismatchFrame <= tapFrame)) {
    return mismatch(r.trackMismatchFrame, r.trackMismatch);
  }
  if (!tapWhat.empty()) return mismatch(tapFrame, tapWhat);
  if (!plat::TapReplayDone()) {
    return mismatch(plat::TapFrames(), "the session ended after " +
                                           std::to_string(plat::TapFrames()) + " of " +
                                           std::to_string(frames) + " frames");
  }
  const std::string recorded = Result(replay.mode, replay.won, replay.time);
  if (!r.resultSeen) return mismatch(frames - 1, "no run ended; recorded " + recorded);
  const std::string got = Result(replay.mode, r.won, r.time);
  if (r.resultFrame != frames - 1 || r.won != replay.won ||
      std::bit_cast<std::uint32_t>(r.time) != std::bit_cast<std::uint32_t>(replay.time)) {
    return mismatch(r.resultFrame,
                    got + ", recorded " + recorded + " at frame " + std::to_string(frames - 1));
  }
  std::vector<double> times = r.frameTimes;
  std::sort(times.begin(), times.end());
  char stats[160] = "";
  if (!times.empty()) {
    std::snprintf(stats, sizeof stats,
                  " (frame time shortest %.3f ms, median %.3f ms, longest %.3f ms)",
                  times.front() * 1000.0, times[times.size() / 2] * 1000.0, times.back() * 1000.0);
  }
  text = std::string("verified: ") + (replay.mode == 2 ? "Ueberleben" : "Rennen") + " " +
         FormatFloat7(replay.time) + " s, " + std::to_string(frames) + " frames" + stats;
  return true;
}

int VerifyReplayFiles(Game& game, const std::vector<std::string>& names,
                      const std::vector<std::string>& files, const VerifyReport& report) {
  int failures = 0;
  const VideoState video = game.video;
  const SettingsStore settings = game.settings;
  for (std::size_t i = 0; i < files.size(); ++i) {
    const std::string& name = i < names.size() ? names[i] : files[i];
    VerifiedRun run;
    run.name = name;
    Replay replay;
    std::string why;
    if (!LoadReplay(files[i], replay, why)) {
      run.status = VerifiedRun::kRefused;
      run.text = "refused: " + why;
      ++failures;
      if (report) report(run, nullptr);
      continue;
    }
    // Each from the state a fresh game has in its menu.
    InitGameState(game);
    game.video = video;
    game.settings = settings;
    SetUpMenuScene(game.sim, game.map);
    game.frame.LastFrameStamp = plat::Timer();
    game.frame.MenuStartTime = plat::Timer();
    PlayReplay(game, replay, false, PlayScreen{});
    const bool verified = JudgeReplay(game, replay, run.text);
    run.status = verified ? VerifiedRun::kVerified : VerifiedRun::kMismatch;
    if (!verified) ++failures;
    if (report) report(run, &replay);
  }
  return failures;
}
