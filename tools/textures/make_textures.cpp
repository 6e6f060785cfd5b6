// zirpel-make-textures [DIR]: paints the game's nine textures and writes
// them as 8-bit RGB PNG files (no alpha: the game draws them in decal mode)
// into DIR (default res/gfx). Everything is computed here, deterministically:
// shaded spheres, spark sheets, the title lettering from our own stroke
// font, the cricket mascot and the fiery danger frame.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "image/png_encode.h"

namespace {

// ---- colours and canvas ------------------------------------------------------

struct Rgb {
  double r = 0, g = 0, b = 0;
};
Rgb operator+(Rgb a, Rgb b) {
  return {a.r + b.r, a.g + b.g, a.b + b.b};
}
Rgb operator*(Rgb a, double k) {
  return {a.r * k, a.g * k, a.b * k};
}
Rgb Mix(Rgb a, Rgb b, double t) {
  return a * (1 - t) + b * t;
}

double Clamp01(double v) {
  return std::clamp(v, 0.0, 1.0);
}
double SmoothStep(double e0, double e1, double x) {
  const double t = Clamp01((x - e0) / (e1 - e0));
  return t * t * (3 - 2 * t);
}

// Linear-light picture; written with a display gamma of 2.2 unless told.
struct Canvas {
  int width, height;
  std::vector<Rgb> px;
  Canvas(int w, int h, Rgb fill = {})
      : width(w), height(h), px(static_cast<std::size_t>(w * h), fill) {}
  Rgb& At(int x, int y) { return px[static_cast<std::size_t>(y * width + x)]; }
  void Blend(int x, int y, Rgb colour, double coverage) {
    if (x < 0 || y < 0 || x >= width || y >= height || coverage <= 0) return;
    Rgb& p = At(x, y);
    p = Mix(p, colour, Clamp01(coverage));
  }
  void Add(int x, int y, Rgb colour) {
    if (x < 0 || y < 0 || x >= width || y >= height) return;
    At(x, y) = At(x, y) + colour;
  }
};

bool WritePng(const Canvas& canvas, const std::string& path, double gamma = 2.2) {
  std::vector<std::uint8_t> rgb;
  rgb.reserve(canvas.px.size() * 3);
  for (const Rgb& p : canvas.px) {
    for (double c : {p.r, p.g, p.b}) {
      rgb.push_back(static_cast<std::uint8_t>(std::lround(std::pow(Clamp01(c), 1 / gamma) * 255)));
    }
  }
  const std::vector<std::uint8_t> file =
      EncodeRgbPng(rgb.data(), static_cast<std::uint32_t>(canvas.width),
                   static_cast<std::uint32_t>(canvas.height));
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<std::streamsize>(file.size()));
  std::printf("%s: %d x %d, %zu bytes\n", path.c_str(), canvas.width, canvas.height, file.size());
  return static_cast<bool>(out);
}

// ---- noise for the fire ------------------------------------------------------

double Hash(int x, int y, int seed) {
  std::uint32_t h = static_cast<std::uint32_t>(x) * 374761393u +
                    static_cast<std::uint32_t>(y) * 668265263u +
                    static_cast<std::uint32_t>(seed) * 2246822519u;
  h = (h ^ (h >> 13)) * 1274126177u;
  h ^= h >> 16;
  return (h & 0xFFFFFF) / double(0xFFFFFF);
}

double ValueNoise(double x, double y, int seed) {
  const int xi = static_cast<int>(std::floor(x)), yi = static_cast<int>(std::floor(y));
  const double fx = x - xi, fy = y - yi;
  const double sx = fx * fx * (3 - 2 * fx), sy = fy * fy * (3 - 2 * fy);
  const double a = Hash(xi, yi, seed), b = Hash(xi + 1, yi, seed);
  const double c = Hash(xi, yi + 1, seed), d = Hash(xi + 1, yi + 1, seed);
  return (a + (b - a) * sx) * (1 - sy) + (c + (d - c) * sx) * sy;
}

double Fractal(double x, double y, int seed) {
  double sum = 0, amplitude = 0.5;
  for (int octave = 0; octave < 5; ++octave) {
    sum += amplitude * ValueNoise(x, y, seed + octave);
    x *= 2.03;
    y *= 2.03;
    amplitude *= 0.5;
  }
  return sum;
}

// ---- the glossy sphere ---------------------------------------------------------

// Shade of a sphere of the given colour at (u, v) in [-1, 1], y up; points
// outside the circle take the rim's shade, so linear filtering at the edge of
// a disc shows no dark fringe.
Rgb SphereShade(double u, double v, Rgb base) {
  const double r = std::sqrt(u * u + v * v);
  if (r > 0.999) {
    u *= 0.999 / r;
    v *= 0.999 / r;
  }
  const double nz = std::sqrt(std::max(0.0, 1 - u * u - v * v));
  // Light from the upper left, a little in front.
  const double lx = -0.55, ly = 0.6, lz = 0.58;
  const double ll = std::sqrt(lx * lx + ly * ly + lz * lz);
  const double diffuse = std::max(0.0, (u * lx + v * ly + nz * lz) / ll);
  double hx = lx / ll, hy = ly / ll, hz = lz / ll + 1;
  const double hl = std::sqrt(hx * hx + hy * hy + hz * hz);
  hx /= hl, hy /= hl, hz /= hl;
  const double nh = std::max(0.0, u * hx + v * hy + nz * hz);
  const double specular = std::pow(nh, 60) * 0.95 + std::pow(nh, 8) * 0.12;
  // Light bounced from below right, and a darker rim.
  const double bounce = std::max(0.0, 0.5 * u - 0.7 * v) * 0.18;
  const double rim = 1 - 0.35 * std::pow(1 - nz, 3);
  Rgb colour = base * ((0.1 + 0.85 * diffuse + bounce) * rim);
  return colour + Rgb{1, 1, 1} * specular;
}

Canvas Sphere(Rgb base) {
  Canvas canvas(256, 256);
  for (int y = 0; y < 256; ++y) {
    for (int x = 0; x < 256; ++x) {
      // 2 x 2 samples per pixel keep the highlight smooth.
      Rgb sum;
      for (int s = 0; s < 4; ++s) {
        const double u = (x + 0.25 + 0.5 * (s & 1)) / 128.0 - 1;
        const double v = 1 - (y + 0.25 + 0.5 * (s >> 1)) / 128.0;
        sum = sum + SphereShade(u, v, base);
      }
      canvas.At(x, y) = sum * 0.25;
    }
  }
  return canvas;
}

// ---- the spark sheet -----------------------------------------------------------

// Brightness of sprite k at (px, py) in [-1, 1] around its centre; zero at and
// beyond radius 1, so neighbouring cells never bleed into each other.
double Spark(int k, double px, double py) {
  const double r = std::sqrt(px * px + py * py);
  const double window = SmoothStep(1.0, 0.75, r);
  if (window <= 0) return 0;
  const double glow = std::exp(-r * r * 9) * 0.7 + std::exp(-r * r * 80);
  auto ray = [&](double angle, double width) {
    const double c = std::cos(angle), s = std::sin(angle);
    const double along = px * c + py * s, across = -px * s + py * c;
    return std::exp(-std::abs(across) / width) * std::exp(-std::abs(along) * 2.6);
  };
  double value = 0;
  switch (k) {
    case 0:
      value = std::exp(-r * r * 5) * 0.8 + std::exp(-r * r * 40) * 0.6;
      break;  // soft ball
    case 1:   // four-pointed star
      value = glow * 0.8 + 0.9 * (ray(0, 0.035) + ray(M_PI / 2, 0.035));
      break;
    case 2:  // six rays, turned a little
      value = glow * 0.7;
      for (int i = 0; i < 3; ++i) value += 0.7 * ray(0.26 + i * M_PI / 3, 0.025);
      break;
    default:  // a burst ring around a small core
      value = std::exp(-r * r * 60) + 0.55 * std::exp(-std::pow((r - 0.5) / 0.09, 2)) +
              0.25 * std::exp(-r * r * 6);
      break;
  }
  return value * window;
}

Canvas Particles(Rgb halo, Rgb core) {
  Canvas canvas(128, 128);
  for (int y = 0; y < 128; ++y) {
    for (int x = 0; x < 128; ++x) {
      const int cell = (y / 64) * 2 + x / 64;
      const double px = ((x % 64) + 0.5 - 32) / 30.0, py = ((y % 64) + 0.5 - 32) / 30.0;
      const double value = Spark(cell, px, py);
      // Bright parts turn towards the core colour, as hot sparks do.
      canvas.At(x, y) = halo * value + (core + halo * -1) * Clamp01(value * value * 0.8);
    }
  }
  return canvas;
}

// ---- our stroke font -------------------------------------------------------------
// Capitals built from lines and arcs, cap height 1, y up, x from 0.

struct Segment {
  double x0, y0, x1, y1;
};

struct Glyph {
  double advance = 0;
  std::vector<Segment> strokes;
};

void Line(Glyph& g, double x0, double y0, double x1, double y1) {
  g.strokes.push_back({x0, y0, x1, y1});
}

// Arc around (cx, cy) from angle a0 to a1 (degrees, counter-clockwise positive).
void Arc(Glyph& g, double cx, double cy, double rx, double ry, double a0, double a1) {
  const int steps = std::max(4, static_cast<int>(std::abs(a1 - a0) / 8));
  for (int i = 0; i < steps; ++i) {
    const double t0 = (a0 + (a1 - a0) * i / steps) * M_PI / 180;
    const double t1 = (a0 + (a1 - a0) * (i + 1) / steps) * M_PI / 180;
    Line(g, cx + rx * std::cos(t0), cy + ry * std::sin(t0), cx + rx * std::cos(t1),
         cy + ry * std::sin(t1));
  }
}

Glyph MakeGlyph(char c) {
  Glyph g;
  switch (c) {
    case 'O':
      Arc(g, 0.37, 0.5, 0.35, 0.5, 0, 360);
      g.advance = 0.74;
      break;
    case 'Q':
      Arc(g, 0.37, 0.5, 0.35, 0.5, 0, 360);
      Line(g, 0.46, 0.22, 0.78, -0.1);
      g.advance = 0.78;
      break;
    case 'U':
      Line(g, 0, 1, 0, 0.32);
      Arc(g, 0.31, 0.32, 0.31, 0.32, 180, 360);
      Line(g, 0.62, 0.32, 0.62, 1);
      g.advance = 0.62;
      break;
    case 'B':
      Line(g, 0, 0, 0, 1);
      Line(g, 0, 1, 0.3, 1);
      Arc(g, 0.3, 0.76, 0.24, 0.24, 90, -90);
      Line(g, 0.3, 0.52, 0, 0.52);
      Line(g, 0, 0.52, 0.33, 0.52);
      Arc(g, 0.33, 0.26, 0.26, 0.26, 90, -90);
      Line(g, 0.33, 0, 0, 0);
      g.advance = 0.59;
      break;
    case 'E':
      Line(g, 0, 0, 0, 1);
      Line(g, 0, 1, 0.52, 1);
      Line(g, 0, 0.52, 0.44, 0.52);
      Line(g, 0, 0, 0.54, 0);
      g.advance = 0.54;
      break;
    case 'S':
      Arc(g, 0.29, 0.75, 0.28, 0.25, 25, 270);
      Arc(g, 0.29, 0.25, 0.3, 0.25, 90, -155);
      g.advance = 0.6;
      break;
    case 'Z':
      Line(g, 0.02, 1, 0.58, 1);
      Line(g, 0.58, 1, 0, 0);
      Line(g, 0, 0, 0.6, 0);
      g.advance = 0.6;
      break;
    case 'I':
      Line(g, 0, 0, 0, 1);
      g.advance = 0.0;
      break;
    case 'P':
    case 'R':
      Line(g, 0, 0, 0, 1);
      Line(g, 0, 1, 0.3, 1);
      Arc(g, 0.3, 0.74, 0.26, 0.26, 90, -90);
      Line(g, 0.3, 0.48, 0, 0.48);
      if (c == 'R') Line(g, 0.26, 0.48, 0.58, 0);
      g.advance = c == 'R' ? 0.58 : 0.56;
      break;
    case 'L':
      Line(g, 0, 1, 0, 0);
      Line(g, 0, 0, 0.5, 0);
      g.advance = 0.5;
      break;
    default:
      g.advance = 0.4;
      break;  // space
  }
  return g;
}

// The strokes of a line of text in pixels (y down), centred on (cx, baseline
// y + height / 2), with letters height pixels tall.
std::vector<Segment> LayOut(const std::string& text, double cx, double cy, double height,
                            double gap) {
  std::vector<Glyph> glyphs;
  double width = 0;
  for (char c : text) {
    glyphs.push_back(MakeGlyph(c));
    width += glyphs.back().advance + gap;
  }
  width -= gap;
  std::vector<Segment> out;
  double x = cx - width * height / 2;
  for (const Glyph& g : glyphs) {
    for (const Segment& s : g.strokes) {
      out.push_back({x + s.x0 * height, cy + (0.5 - s.y0) * height, x + s.x1 * height,
                     cy + (0.5 - s.y1) * height});
    }
    x += (g.advance + gap) * height;
  }
  return out;
}

// Distance from (x, y) to the nearest stroke, and the direction to it.
double StrokeDistance(const std::vector<Segment>& strokes, double x, double y, double& nx,
                      double& ny) {
  double best = 1e9;
  nx = ny = 0;
  for (const Segment& s : strokes) {
    const double dx = s.x1 - s.x0, dy = s.y1 - s.y0;
    const double len2 = dx * dx + dy * dy;
    const double t = len2 > 0 ? Clamp01(((x - s.x0) * dx + (y - s.y0) * dy) / len2) : 0;
    const double ex = x - (s.x0 + t * dx), ey = y - (s.y0 + t * dy);
    const double d = std::sqrt(ex * ex + ey * ey);
    if (d < best) {
      best = d;
      nx = d > 0 ? ex / d : 0;
      ny = d > 0 ? ey / d : 0;
    }
  }
  return best;
}

// Paints lettering: an orange glow, a dark outline, a golden bevelled body.
void PaintLettering(Canvas& canvas, const std::vector<Segment>& strokes, double halfWidth,
                    double top, double bottom, Rgb glowColour) {
  double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
  for (const Segment& s : strokes) {
    minX = std::min({minX, s.x0, s.x1});
    maxX = std::max({maxX, s.x0, s.x1});
    minY = std::min({minY, s.y0, s.y1});
    maxY = std::max({maxY, s.y0, s.y1});
  }
  const double reach = halfWidth * 5;
  for (int y = std::max(0, static_cast<int>(minY - reach));
       y < std::min(canvas.height, static_cast<int>(maxY + reach)); ++y) {
    for (int x = std::max(0, static_cast<int>(minX - reach));
         x < std::min(canvas.width, static_cast<int>(maxX + reach)); ++x) {
      double nx, ny;
      const double d = StrokeDistance(strokes, x + 0.5, y + 0.5, nx, ny);
      const double edge = d - halfWidth;  // < 0 inside the letter
      // The glow fades out completely before the edge of the painted box.
      const double outside = std::max(edge, 0.0) / (halfWidth * 4);
      canvas.Add(x, y, glowColour * (0.4 * std::exp(-outside * 3) * SmoothStep(1.0, 0.0, outside)));
      canvas.Blend(x, y, Rgb{0.02, 0.01, 0.0}, 0.5 - (edge - halfWidth * 0.35));
      if (edge < 0.5) {
        const double t = Clamp01((y - top) / (bottom - top));
        Rgb body = Mix(Rgb{1.0, 0.86, 0.32}, Rgb{0.9, 0.28, 0.03}, t);
        // Bevel: the side of a stroke facing the upper left catches the light.
        const double inside = Clamp01(d / halfWidth);
        const double light = (-nx * 0.6 - ny * 0.8) * inside;
        body = body * (0.9 + 0.45 * light) + Rgb{1, 1, 0.9} * (0.25 * std::pow(Clamp01(light), 4));
        canvas.Blend(x, y, body, 0.5 - edge);
      }
    }
  }
}

// Pastes a shaded ball of the given colour.
void PaintBall(Canvas& canvas, double cx, double cy, double radius, Rgb base) {
  for (int y = static_cast<int>(cy - radius - 2); y <= static_cast<int>(cy + radius + 2); ++y) {
    for (int x = static_cast<int>(cx - radius - 2); x <= static_cast<int>(cx + radius + 2); ++x) {
      const double u = (x + 0.5 - cx) / radius, v = (cy - y - 0.5) / radius;
      const double r = std::sqrt(u * u + v * v);
      canvas.Blend(x, y, SphereShade(u, v, base), (1 - r) * radius + 0.5);
    }
  }
}

const Rgb kWhite = {0.85, 0.86, 0.9};
const Rgb kBlue = {0.02, 0.1, 0.9};
const Rgb kRed = {0.85, 0.02, 0.01};

Canvas Logo() {
  Canvas canvas(512, 512);
  PaintBall(canvas, 176, 120, 40, kWhite);
  PaintBall(canvas, 256, 104, 44, kBlue);
  PaintBall(canvas, 336, 120, 40, kRed);
  PaintLettering(canvas, LayOut("QUOBBES", 256, 262, 74, 0.2), 6.5, 225, 299, Rgb{0.9, 0.3, 0.02});
  PaintLettering(canvas, LayOut("ZIRPEL", 256, 372, 74, 0.24), 6.5, 335, 409, Rgb{0.9, 0.3, 0.02});
  // A thin platform under the title, glowing blue.
  for (int y = 452; y < 470; ++y) {
    for (int x = 96; x < 416; ++x) {
      const double d = std::abs(y - 460.5);
      const double fade = SmoothStep(96, 140, x) * SmoothStep(416, 372, x);
      canvas.Add(x, y, Rgb{0.1, 0.3, 1.0} * (fade * std::exp(-d * d / 6)));
    }
  }
  return canvas;
}

// ---- the cricket -------------------------------------------------------------------

struct Ellipse {
  double cx, cy, rx, ry, angle;  // pixels, y down; angle in degrees
};

// Coverage and local coordinates of an ellipse (u, v in its own frame,
// scaled to the radii, v up).
double EllipseAt(const Ellipse& e, double x, double y, double& u, double& v) {
  const double a = e.angle * M_PI / 180, c = std::cos(a), s = std::sin(a);
  const double dx = x - e.cx, dy = y - e.cy;
  u = (dx * c + dy * s) / e.rx;
  v = -(-dx * s + dy * c) / e.ry;
  const double r = std::sqrt(u * u + v * v);
  return (1 - r) * std::min(e.rx, e.ry) + 0.5;
}

void PaintEllipse(Canvas& canvas, const Ellipse& e, Rgb base, double outline) {
  const int reach = static_cast<int>(std::max(e.rx, e.ry) + outline + 3);
  for (int y = static_cast<int>(e.cy) - reach; y <= static_cast<int>(e.cy) + reach; ++y) {
    for (int x = static_cast<int>(e.cx) - reach; x <= static_cast<int>(e.cx) + reach; ++x) {
      double u, v;
      Ellipse grown = e;
      grown.rx += outline;
      grown.ry += outline;
      canvas.Blend(x, y, Rgb{0.01, 0.02, 0.01}, EllipseAt(grown, x + 0.5, y + 0.5, u, v));
      const double coverage = EllipseAt(e, x + 0.5, y + 0.5, u, v);
      if (coverage > 0) canvas.Blend(x, y, SphereShade(u * 0.97, v * 0.97, base), coverage);
    }
  }
}

void PaintStroke(Canvas& canvas, const std::vector<Segment>& strokes, double halfWidth, Rgb colour,
                 double outline) {
  double minX = 1e9, maxX = -1e9, minY = 1e9, maxY = -1e9;
  for (const Segment& s : strokes) {
    minX = std::min({minX, s.x0, s.x1});
    maxX = std::max({maxX, s.x0, s.x1});
    minY = std::min({minY, s.y0, s.y1});
    maxY = std::max({maxY, s.y0, s.y1});
  }
  const double reach = halfWidth + outline + 2;
  for (int y = static_cast<int>(minY - reach); y <= static_cast<int>(maxY + reach); ++y) {
    for (int x = static_cast<int>(minX - reach); x <= static_cast<int>(maxX + reach); ++x) {
      double nx, ny;
      const double d = StrokeDistance(strokes, x + 0.5, y + 0.5, nx, ny);
      canvas.Blend(x, y, Rgb{0.01, 0.02, 0.01}, halfWidth + outline + 0.5 - d);
      const double light = 1 + 0.4 * (-nx * 0.6 - ny * 0.8) * Clamp01(d / halfWidth);
      canvas.Blend(x, y, colour * light, halfWidth + 0.5 - d);
    }
  }
}

std::vector<Segment> Polyline(std::initializer_list<std::pair<double, double>> points) {
  std::vector<Segment> out;
  const std::pair<double, double>* prev = nullptr;
  for (const auto& p : points) {
    if (prev != nullptr) out.push_back({prev->first, prev->second, p.first, p.second});
    prev = &p;
  }
  return out;
}

// A small green cricket sitting on a blue platform, facing right, in a box
// of about 240 x 240 pixels whose lower left corner is (x0, y0).
void PaintCricket(Canvas& canvas, double x0, double y0) {
  auto P = [&](double x, double y) { return std::pair<double, double>{x0 + x, y0 - y}; };
  const Rgb green = {0.18, 0.62, 0.1}, dark = {0.07, 0.3, 0.04}, leg = {0.12, 0.45, 0.06};
  // Platform.
  PaintStroke(canvas, Polyline({P(5, 12), P(235, 12)}), 5, Rgb{0.1, 0.25, 0.85}, 1.5);
  // Far legs first, then the body, then the near legs.
  PaintStroke(canvas, Polyline({P(150, 70), P(168, 40), P(176, 17)}), 3.5, dark, 1.5);
  PaintStroke(canvas, Polyline({P(120, 66), P(112, 38), P(124, 17)}), 3.5, dark, 1.5);
  // Antennae, long and swept back over the head.
  PaintStroke(canvas, Polyline({P(186, 126), P(168, 172), P(130, 214), P(84, 232), P(50, 230)}),
              2.0, dark, 1.0);
  PaintStroke(canvas, Polyline({P(192, 128), P(184, 180), P(160, 220), P(124, 238)}), 2.0, leg,
              1.0);
  // Abdomen and thorax.
  PaintEllipse(canvas, {x0 + 112, y0 - 76, 72, 34, -8}, green, 2.5);
  // Wing along the back.
  PaintEllipse(canvas, {x0 + 100, y0 - 94, 64, 17, -12}, Rgb{0.35, 0.75, 0.2}, 2.0);
  // Head with a big friendly eye.
  PaintEllipse(canvas, {x0 + 184, y0 - 102, 30, 28, 10}, green, 2.5);
  PaintEllipse(canvas, {x0 + 192, y0 - 110, 12, 13, 0}, Rgb{0.95, 0.95, 0.95}, 1.5);
  PaintEllipse(canvas, {x0 + 196, y0 - 109, 6, 7, 0}, Rgb{0.02, 0.02, 0.03}, 0.0);
  canvas.Blend(static_cast<int>(x0 + 194), static_cast<int>(y0 - 113), Rgb{1, 1, 1}, 1.0);
  // Smile.
  PaintStroke(canvas, Polyline({P(196, 88), P(203, 85), P(209, 88)}), 1.2, Rgb{0.02, 0.08, 0.02},
              0.0);
  // The big jumping leg: thigh up and back, shin down to the platform.
  PaintStroke(canvas, Polyline({P(84, 80), P(44, 126)}), 8.5, green, 2.0);
  PaintStroke(canvas, Polyline({P(44, 126), P(22, 62), P(12, 22), P(30, 18)}), 3.5, leg, 1.5);
  // Near front legs.
  PaintStroke(canvas, Polyline({P(160, 64), P(184, 40), P(194, 17)}), 3.5, leg, 1.5);
  PaintStroke(canvas, Polyline({P(132, 56), P(138, 34), P(150, 17)}), 3.5, leg, 1.5);
}

Canvas Mascot() {
  // Deep blue-black with a soft light behind the cricket and faint grid lines.
  Canvas canvas(800, 300);
  for (int y = 0; y < 300; ++y) {
    for (int x = 0; x < 800; ++x) {
      const double dx = (x - 150) / 260.0, dy = (y - 160) / 200.0;
      Rgb p = Rgb{0.003, 0.005, 0.016} + Rgb{0.02, 0.04, 0.09} * std::exp(-(dx * dx + dy * dy) * 2);
      if (x % 40 == 0 || y % 40 == 20) p = p + Rgb{0.004, 0.007, 0.018};
      // Darker towards the borders, so the picture melts into a black screen.
      const double border = std::min({x + 0.5, 799.5 - x, y + 0.5, 299.5 - y});
      p = p * SmoothStep(0, 50, border);
      canvas.At(x, y) = p;
    }
  }
  PaintCricket(canvas, 28, 284);
  PaintLettering(canvas, LayOut("QUOBBES", 530, 95, 80, 0.2), 7, 55, 135, Rgb{0.9, 0.3, 0.02});
  PaintLettering(canvas, LayOut("ZIRPEL", 530, 208, 80, 0.24), 7, 168, 248, Rgb{0.9, 0.3, 0.02});
  return canvas;
}

// ---- the danger frame ----------------------------------------------------------------

// Black in the middle, fire licking in from the edges (drawn additively).
// The game stretches the quad far beyond the screen at first and pulls it
// in as the burning goes on, so the screen's edge shows ever outer rings of
// the picture: the glow has to grow all the way from near the middle.
Canvas DangerFrame() {
  const int size = 2048;
  Canvas canvas(size, size);
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size; ++x) {
      const double u = (x + 0.5) / size * 2 - 1, v = (y + 0.5) / size * 2 - 1;
      // A rounded square distance: 1 at the edges, 0 in the middle.
      const double t = std::pow(std::pow(std::abs(u), 6) + std::pow(std::abs(v), 6), 1.0 / 6);
      if (t < 0.1) continue;  // stays exactly black
      const double flames = Fractal(u * 5, v * 5, 7) - 0.5;
      const double flicker = Fractal(u * 17, v * 17, 23);
      const double heat = SmoothStep(0.1, 1.02, t + 0.25 * flames * SmoothStep(0.1, 0.45, t));
      const double h = std::pow(heat, 1.6) * (0.75 + 0.4 * flicker);
      Rgb colour = Mix(Rgb{0.25, 0.0, 0.0}, Rgb{0.9, 0.08, 0.0}, SmoothStep(0.05, 0.45, h));
      colour = Mix(colour, Rgb{1.0, 0.35, 0.02}, SmoothStep(0.45, 0.95, h));
      canvas.At(x, y) = colour * h;
    }
  }
  return canvas;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string dir = argc > 1 ? argv[1] : "res/gfx";
  bool ok = true;
  ok &= WritePng(Sphere(kWhite), dir + "/SphereWhite.png");
  ok &= WritePng(Sphere(kBlue), dir + "/SphereBlue.png");
  ok &= WritePng(Sphere(kRed), dir + "/SphereRed.png");
  ok &= WritePng(Particles(Rgb{1.0, 0.95, 0.85}, Rgb{1, 1, 1}), dir + "/Particle_White.png");
  ok &= WritePng(Particles(Rgb{0.03, 0.15, 1.0}, Rgb{0.7, 0.85, 1.0}), dir + "/Particle_Blue.png");
  ok &= WritePng(Particles(Rgb{1.0, 0.06, 0.01}, Rgb{1.0, 0.7, 0.35}), dir + "/Particle_Red.png");
  ok &= WritePng(Logo(), dir + "/LOGO.png");
  ok &= WritePng(Mascot(), dir + "/zirpel.png");
  // The fire is painted in display values: it is added onto the screen.
  ok &= WritePng(DangerFrame(), dir + "/ScreenTexture.png", 1.0);
  return ok ? 0 : 1;
}
