// The rays' exact paths, and where they lie within a band of values.
#include "march/RayPath.h"

#include <algorithm>
#include <cmath>

static double SampleOf(double z0) {
  return (z0 + 10) * 100;
}

RayPath PathOf(const ViewRotation& v, float x0, float y0) {
  const double sA = v.sinA, cA = v.cosA, sB = v.sinB, cB = v.cosB, sC = v.sinC, cC = v.cosC;
  const double x = x0, y = y0;
  return {x * cB * cC - y * sA * sB * cC + y * cA * sC,
          cA * sB * cC + sA * sC,
          y * cA * cC - x * cB * sC + y * sA * sB * sC,
          sA * cC - cA * sB * sC,
          -y * sA * cB - x * sB,
          cA * cB};
}

namespace {

// The track as c2 z0^2 + c1 z0 + c0.
struct Quadratic {
  double c2, c1, c0;
  double At(double z0) const { return (c2 * z0 + c1) * z0 + c0; }
};

Quadratic QuadraticOf(const Track& g) {
  if (!g.perspective) return {0, g.b, g.a + g.offset};
  // (a + b z)(50 - z) / 65 = (-b z^2 + (50 b - a) z + 50 a) / 65
  return {-g.b / 65, (50 * g.b - g.a) / 65, 50 * g.a / 65 + g.offset};
}

// The root of q = c in [u, v], where q is monotone and passes c. Of the
// two roots of the quadratic, by the stable form of the formula, the one
// in [u, v]; a discriminant that rounds below 0 (c at the turning point)
// gives the turning point.
double Root(const Quadratic& q, double c, double u, double v) {
  double z;
  if (q.c2 == 0) {
    z = (c - q.c0) / q.c1;
  } else {
    const double A = q.c2, B = q.c1, C = q.c0 - c;
    const double s = -0.5 * (B + std::copysign(std::sqrt(std::max(B * B - 4 * A * C, 0.0)), B));
    const double r1 = s != 0 ? C / s : -B / (2 * A), r2 = s / A;
    const auto outside = [&](double r) { return r < u ? u - r : r > v ? r - v : 0.0; };
    z = outside(r1) <= outside(r2) ? r1 : r2;
  }
  return std::clamp(z, u, v);
}

// Where lo <= q <= hi on [u, v], over which q is monotone.
void Piece(const Quadratic& q, double lo, double hi, double u, double v, Spans& out) {
  const double qu = q.At(u), qv = q.At(v);
  double from, to;
  if (qv >= qu) {
    if (qv < lo || qu > hi) return;
    from = qu >= lo ? u : Root(q, lo, u, v);
    to = qv <= hi ? v : Root(q, hi, u, v);
  } else {
    if (qu < lo || qv > hi) return;
    from = qu <= hi ? u : Root(q, hi, u, v);
    to = qv >= lo ? v : Root(q, lo, u, v);
  }
  const Span span = {SampleOf(from), SampleOf(to)};
  if (out.count > 0 && out.list[out.count - 1].to >= span.from)
    out.list[out.count - 1].to = span.to;  // the two pieces meet at the turn
  else
    out.list[out.count++] = span;
}

}  // namespace

void Preimage(const Track& g, double lo, double hi, Spans& out) {
  out.count = 0;
  const Quadratic q = QuadraticOf(g);
  if (q.c2 != 0) {
    const double turn = -q.c1 / (2 * q.c2);
    if (turn > kDepthLow && turn < kDepthHigh) {
      Piece(q, lo, hi, kDepthLow, turn, out);
      Piece(q, lo, hi, turn, kDepthHigh, out);
      return;
    }
  }
  Piece(q, lo, hi, kDepthLow, kDepthHigh, out);
}

void Intersect(const Spans& a, const Spans& b, Spans& out) {
  Spans both;
  for (int i = 0, j = 0; i < a.count && j < b.count;) {
    const double from = std::max(a.list[i].from, b.list[j].from);
    const double to = std::min(a.list[i].to, b.list[j].to);
    if (from <= to && both.count < kMaxSpans) both.list[both.count++] = {from, to};
    if (a.list[i].to < b.list[j].to)
      ++i;
    else
      ++j;
  }
  out = both;
}

double TrackAt(const Track& g, double t) {
  return QuadraticOf(g).At(DepthOf(t));
}

void TrackRange(const Track& g, double from, double to, double& low, double& high) {
  const Quadratic q = QuadraticOf(g);
  const double u = DepthOf(from), v = DepthOf(to);
  low = std::min(q.At(u), q.At(v)), high = std::max(q.At(u), q.At(v));
  if (q.c2 != 0) {
    const double turn = -q.c1 / (2 * q.c2);
    if (turn > u && turn < v) low = std::min(low, q.At(turn)), high = std::max(high, q.At(turn));
  }
}

CellBox LitBox(const int32_t* map, int columns, int rows) {
  CellBox box = {columns, -1, rows, -1};
  for (int column = 0; column < columns; ++column) {
    for (int row = 0; row < rows; ++row) {
      if (map[column * rows + row] != 1) continue;
      box.firstColumn = std::min(box.firstColumn, column);
      box.lastColumn = std::max(box.lastColumn, column);
      box.firstRow = std::min(box.firstRow, row);
      box.lastRow = std::max(box.lastRow, row);
    }
  }
  return box;
}

bool SlabInReach(const RayPath (&ends)[2], const SlabShape& shape, CellBox lit) {
  if (lit.lastColumn < 0) return false;
  // The samples where the rays lie within the slab's depth, widened by far
  // more than the stray. sz is linear in y0 and z0: where each ray enters
  // and leaves the depth (beyond the ray's ends too) is linear in y0, so the
  // rays between the outer ones enter and leave between theirs.
  const double lo = shape.szLow - 1e-3, hi = shape.szHigh + 1e-3;
  double zFrom = 1e300, zTo = -1e300;
  for (const RayPath& path : ends) {
    if (path.bz == 0) {  // no float angle's cosine is 0; were it, the whole ray
      zFrom = kDepthLow, zTo = kDepthHigh;
      continue;
    }
    const double z1 = (lo - path.az) / path.bz, z2 = (hi - path.az) / path.bz;
    zFrom = std::min({zFrom, z1, z2}), zTo = std::max({zTo, z1, z2});
  }
  zFrom = std::max(zFrom, kDepthLow), zTo = std::min(zTo, kDepthHigh);
  if (!(zFrom <= zTo)) return false;
  const double from = SampleOf(zFrom) - 2, to = SampleOf(zTo) + 2;
  // At each depth the slab coordinates are linear in y0: their extremes
  // over the rays lie on the outer rays, and along each at the stretch's
  // ends or where it turns. The margin covers the stray and the rounding
  // of gx and gy many times over.
  const double margin = 0.01;
  double gxLow = 1e9, gxHigh = -1e9, gyLow = 1e9, gyHigh = -1e9;
  for (const RayPath& path : ends) {
    double low, high;
    TrackRange(SlabTrackX(path, shape), from, to, low, high);
    gxLow = std::min(gxLow, low), gxHigh = std::max(gxHigh, high);
    TrackRange(SlabTrackY(path, shape), from, to, low, high);
    gyLow = std::min(gyLow, low), gyHigh = std::max(gyHigh, high);
  }
  return !(gxHigh + margin < lit.firstColumn || gxLow - margin > lit.lastColumn + 1 ||
           gyHigh + margin < lit.firstRow || gyLow - margin > lit.lastRow + 1);
}
