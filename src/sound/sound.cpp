// The ears: after every frame they hear what the play step reported (fire,
// the boost, breaks, hints, win, loss, a restart) and what the screens
// changed (the menus' cursors), and start their sounds. Hits are heard in the
// balls' velocities; the menu's scene, which reports nothing, is heard in
// the map's destructible length.
#include "sound/sound.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "game/game.h"
#include "platform/platform.h"
#include "world/map.h"

namespace {

// ---- how loud each sound plays against the others ---------------------------
constexpr float kMenuScene = 0.3f;  // the menu's live scene must not clatter
constexpr float kHitPlatformLevel = 0.9f;
constexpr float kHitSphereLevel = 0.55f;
constexpr float kHitBallLevel = 0.6f;
constexpr float kFireLevel = 0.8f;
constexpr float kSizzleLevel = 0.22f;  // burning goes on quietly
constexpr float kHissLevel = 0.7f;
constexpr float kBoostLevel = 0.5f;
constexpr float kHintLevel = 0.6f;
constexpr float kJingleLevel = 0.85f;
constexpr float kClickLevel = 0.4f;
constexpr float kSelectLevel = 0.55f;
constexpr float kBackLevel = 0.5f;
constexpr float kAmbientLevel = 0.3f;  // under the menus, barely there

// ---- hearing hits ---------------------------------------------------------------
// The step reports each ball's hardest contact of the frame, by how much it
// changed the ball's velocity (units per second); a hit is heard from this on.
constexpr double kHitThreshold = 0.9;
// The hit that makes the loudest sound, for the loudness scale.
constexpr double kHitLoudest = 8.0;
// A ball resting or rolling on a platform is knocked back a little every
// frame: a hit is heard only when it beats the fading level of the ball's
// recent knocks by this factor, and not within kHitGap of the last one.
constexpr double kHitOverLevel = 1.6;
constexpr double kLevelHalfLife = 0.08;  // seconds
constexpr double kHitGap = 0.06;         // seconds

void FillFromMixer(void* user, float* out, int frames) {
  static_cast<Mixer*>(user)->Render(out, frames);
}

float NextRandom(SoundState& s) {
  s.random ^= s.random << 13;
  s.random ^= s.random >> 17;
  s.random ^= s.random << 5;
  return static_cast<float>(s.random >> 8) / 16777216.0f;  // [0, 1)
}

// Names the sound as started this frame and plays it; a loop (the boost) is
// only named here, Hold plays it.
void Start(SoundState& s, Sound sound, float gain, float pitch = 1.0f) {
  const std::string name = SoundName(sound);
  if (std::find(s.Sounds.begin(), s.Sounds.end(), name) == s.Sounds.end()) s.Sounds.push_back(name);
  if (s.mixer && !SoundLoops(sound)) s.mixer->Play(sound, gain, pitch);
}

void Hold(SoundState& s, Sound loop, float gain) {
  if (s.mixer) s.mixer->Hold(loop, gain);
}

Sound HitSound(HitKind kind) {
  switch (kind) {
    case HitKind::kSphere:
      return Sound::kHitSphere;
    case HitKind::kBall:
      return Sound::kHitBall;
    default:
      return Sound::kHitPlatform;
  }
}

float HitLevel(Sound kind) {
  switch (kind) {
    case Sound::kHitSphere:
      return kHitSphereLevel;
    case Sound::kHitBall:
      return kHitBallLevel;
    default:
      return kHitPlatformLevel;
  }
}

// Hits of balls first..last; `scale` sets the loudness of the scene. The
// first frame of a ball (a new screen, a restart) is not heard: what it ran
// into is where it was put.
void HearHits(SoundState& s, const FrameHits& hits, int first, int last, double dt, float scale,
              double now) {
  for (int i = first; i <= last; ++i) {
    HeardBall& h = s.heard.balls[i];
    const BallHit& hit = hits[static_cast<size_t>(i)];
    if (h.known && dt > 0.0) {
      h.level *= std::exp2(-dt / kLevelHalfLife);
      const double impact = hit.kind == HitKind::kNone ? 0.0 : hit.impact;
      if (impact > kHitThreshold && impact > kHitOverLevel * h.level && now - h.lastHit > kHitGap) {
        const Sound kind = HitSound(hit.kind);
        const double strength = std::min(1.0, (impact - kHitThreshold) / kHitLoudest);
        const float gain = static_cast<float>(0.25 + 0.75 * std::sqrt(strength));
        Start(s, kind, gain * HitLevel(kind) * scale, 0.95f + 0.1f * NextRandom(s));
        h.lastHit = now;
      }
      h.level = std::max(h.level, impact);
    }
    h.known = true;
  }
}

// Total length of the destructible platforms still standing.
double BreakableLength(const MapText& map) {
  double length = 0.0;
  for (const MapPlatform& p : MapObjects(map).platforms) {
    if (p.kind != PlatformKind::Fixed && p.usable) length += std::hypot(p.a.x - p.b.x, p.a.y - p.b.y);
  }
  return length;
}

void RememberMap(HeardFrame& h, const MapText& map) {
  h.mapRevision = map.revision;
  h.mapLineCount = map.MapLineCount;
  h.breakableLength = BreakableLength(map);
}

// A break cracks louder and a little deeper the more destructible length it
// took from the map.
void HearBreak(SoundState& s, double lost, float scale) {
  const double size = std::min(1.0, lost / 1.5);
  Start(s, Sound::kBreak, static_cast<float>((0.45 + 0.55 * size) * scale),
        static_cast<float>(1.04 - 0.1 * size) + 0.04f * NextRandom(s));
}

// Breaks and fired text hints of a play frame, as its step reported them.
void HearMap(SoundState& s, const MapText& map, bool broke, bool hint, float scale) {
  HeardFrame& h = s.heard;
  if (map.revision == h.mapRevision) return;
  if (broke) HearBreak(s, std::max(0.0, h.breakableLength - BreakableLength(map)), scale);
  if (hint) Start(s, Sound::kHint, kHintLevel);
  RememberMap(h, map);
}

// Breaks of the menu's scene, which reports no events: heard in the map's
// destructible length. A map that gained platforms was loaded afresh.
void HearSceneMap(SoundState& s, const MapText& map, float scale) {
  HeardFrame& h = s.heard;
  if (map.revision == h.mapRevision) return;
  const double length = BreakableLength(map);
  const bool reloaded = map.MapLineCount < h.mapLineCount || length > h.breakableLength + 1e-4;
  if (!reloaded && h.breakableLength - length > 1e-4)
    HearBreak(s, h.breakableLength - length, scale);
  RememberMap(h, map);
}

// Everything of a new screen becomes the baseline: only changes from here
// on make sounds.
void Rebase(SoundState& s, const Game& g, const char* screen) {
  HeardFrame& h = s.heard;
  h = HeardFrame();
  h.screen = screen;
  RememberMap(h, g.map);
  h.burning = g.sim.RedContact;
  h.menuSelection = g.menu.MenuSelection;
  h.selectedMode = g.select.SelectedMode;
  h.highlightedLevel = g.select.HighlightedLevel;
}

void HearTransition(SoundState& s, const std::string& from, const std::string& to) {
  if (from.empty()) return;
  if (to == "menu") {
    Start(s, Sound::kBack, kBackLevel);
  } else if (to == "levelselect" || to == "credits" || to == "session") {
    Start(s, Sound::kSelect, kSelectLevel);
  }
}

void HearPlay(SoundState& s, const Game& g, const PlayEvents& e, double now) {
  HeardFrame& h = s.heard;
  const SimState& sim = g.sim;
  const double dt = g.frame.FrameTime;
  const bool play = !e.zooming && g.session.CameraPhase == 1;
  // A restart puts everything back: nothing of that is heard as play.
  const bool restarted = e.restarted;
  if (restarted) h.balls[1].known = false;
  const bool burning = sim.RedContact;
  const bool boosting = play && !restarted && e.boosting;

  if (play) {
    HearHits(s, e.hits, 1, 1, dt, 1.0f, now);
    HearMap(s, g.map, e.broke, e.hintShown, 1.0f);
    if (e.fireCaught && !restarted) Start(s, Sound::kFire, kFireLevel);
    if (e.fireOut && !restarted) Start(s, Sound::kHiss, kHissLevel);
    if (boosting && !h.boosting) Start(s, Sound::kBoost, kBoostLevel);
    if (e.won && !restarted) Start(s, Sound::kWin, kJingleLevel);
    if (e.lost && !restarted) Start(s, Sound::kLose, kJingleLevel);
  } else {
    // The start zoom: the scene stands still; play is heard from its start.
    h.balls[1].known = false;
    RememberMap(h, g.map);
  }
  Hold(s, Sound::kSizzle, burning ? kSizzleLevel : 0.0f);
  Hold(s, Sound::kBoost, boosting ? kBoostLevel : 0.0f);
  Hold(s, Sound::kAmbient, 0.0f);
  h.burning = burning;
  h.boosting = boosting;
}

}  // namespace

float SoundVolumeGain(const std::string& value) {
  const size_t first = value.find_first_not_of(' ');
  if (first == std::string::npos ||
      !(std::isdigit(static_cast<unsigned char>(value[first])) || value[first] == '.' ||
        value[first] == '-' || value[first] == '+')) {
    return 0.8f;
  }
  return static_cast<float>(std::clamp(ParseNumber(value), 0.0, 100.0) / 100.0);
}

void StartSound(Game& game) {
  SoundState& s = game.sound;
  s.on = SettingEnabled(game.settings, "Sound");
  if (!s.on) return;
  auto bank = std::make_shared<const SoundBank>(BuildSoundBank(kSoundRate));
  auto mixer =
      std::make_shared<Mixer>(*bank, SoundVolumeGain(SettingsGet(game.settings, "SoundVolume")));
  s.bank = bank;
  std::string why;
  if (plat::OpenAudio(kSoundRate, FillFromMixer, mixer.get(), why)) {
    s.mixer = mixer;
  } else {
    plat::ConsoleWarning("kein Audiogeraet (" + why + "), das Spiel bleibt stumm.");
  }
}

void HearFrame(Game& game, const char* screen, const PlayEvents* events) {
  SoundState& s = game.sound;
  s.Sounds.clear();
  if (!s.on) return;
  HeardFrame& h = s.heard;
  // Its own clock: the ears never enter a replay's record.
  const double now = plat::UntappedTimer();
  if (h.screen != screen) {
    HearTransition(s, h.screen, screen);
    Rebase(s, game, screen);
  }
  const std::string name = screen;
  if (name == "session") {
    HearPlay(s, game, events ? *events : PlayEvents(), now);
    return;
  }
  // Fire and boost belong to play alone; the chords to the menus.
  Hold(s, Sound::kSizzle, 0.0f);
  Hold(s, Sound::kBoost, 0.0f);
  Hold(s, Sound::kAmbient, kAmbientLevel);
  if (name == "menu" || name == "credits") {
    const int last = std::min(game.sim.BallCount, 4);
    HearHits(s, events ? events->hits : FrameHits{}, 1, last, game.frame.FrameTime, kMenuScene,
             now);
    HearSceneMap(s, game.map, kMenuScene);
  }
  if (name == "menu" && game.menu.MenuSelection != h.menuSelection) {
    Start(s, Sound::kClick, kClickLevel);
  }
  if (name == "levelselect" && (game.select.SelectedMode != h.selectedMode ||
                                game.select.HighlightedLevel != h.highlightedLevel)) {
    Start(s, Sound::kClick, kClickLevel);
  }
  h.menuSelection = game.menu.MenuSelection;
  h.selectedMode = game.select.SelectedMode;
  h.highlightedLevel = game.select.HighlightedLevel;
}
