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
  RayPath path = {x * cB * cC - y * sA * sB * cC + y * cA * sC,
                  cA * sB * cC + sA * sC,
                  y * cA * cC - x * cB * sC + y * sA * sB * sC,
                  sA * cC - cA * sB * sC,
                  -y * sA * cB - x * sB,
                  cA * cB,
                  {}, {}, {}};
  path.x = MakeTrack(path.ax, path.bx, 0, true);
  path.y = MakeTrack(path.ay, path.by, 0, true);
  path.z = MakeTrack(path.az, path.bz, 0, false);
  return path;
}

namespace {

// The root of g = c in [u, v], where g is monotone and passes c. Of the
// two roots of the quadratic, by the stable form of the formula, the one
// in [u, v]; a discriminant that rounds below 0 (c at the turning point)
// gives the turning point.
double Root(const Track& g, double c, double u, double v) {
  double z;
  if (g.c2 == 0) {
    z = (c - g.c0) / g.c1;
  } else {
    const double A = g.c2, B = g.c1, C = g.c0 - c;
    const double s = -0.5 * (B + std::copysign(std::sqrt(std::max(B * B - 4 * A * C, 0.0)), B));
    // The root of smaller size first: on a piece of a nearly straight track
    // it is the one, and the other (its quotient) is not needed.
    const double r1 = s != 0 ? C / s : -B / (2 * A);
    if (r1 >= u && r1 <= v) return r1;
    const double r2 = s / A;
    const auto outside = [&](double r) { return r < u ? u - r : r > v ? r - v : 0.0; };
    z = outside(r1) <= outside(r2) ? r1 : r2;
  }
  return std::clamp(z, u, v);
}

void Append(Spans& out, double from, double to) {
  const Span span = {SampleOf(from), SampleOf(to)};
  if (out.count > 0 && out.list[out.count - 1].to >= span.from)
    out.list[out.count - 1].to = span.to;  // the two pieces meet at the turn
  else
    out.list[out.count++] = span;
}

// Where lo <= g <= hi on [u, v], over which g is monotone.
void Piece(const Track& g, double lo, double hi, double u, double v, Spans& out) {
  const double gu = g.At(u), gv = g.At(v);
  double from, to;
  if (gv >= gu) {
    if (gv < lo || gu > hi) return;
    from = gu >= lo ? u : Root(g, lo, u, v);
    to = gv <= hi ? v : Root(g, hi, u, v);
  } else {
    if (gu < lo || gv > hi) return;
    from = gu <= hi ? u : Root(g, hi, u, v);
    to = gv >= lo ? v : Root(g, lo, u, v);
  }
  Append(out, from, to);
}


// A face's crossing on a monotone piece, and the distance from it within
// which g stays within the stray of the face, if the pace bounds it.
struct Crossing {
  bool tried = false, paced = false;
  double z, w;
};

// NearAndInside on [u, v], over which g is monotone. In terms of the
// rising value r = sign g, with faces a < b.
void NearAndInsidePiece(const Track& g, double lo, double hi, double s, double u, double v,
                        Spans& nearby, Spans& inside) {
  const double gu = g.At(u), gv = g.At(v);
  const double sign = gv >= gu ? 1 : -1;
  const double a = sign > 0 ? lo : -hi, b = sign > 0 ? hi : -lo;
  const double ru = sign * gu, rv = sign * gv;
  if (rv < a - s || ru > b + s) return;
  Crossing atA, atB;
  // Where r = face + offset (offset +s or -s): at an end, from the pace
  // at the face's crossing, or from a root of its own.
  const auto where = [&](double face, double offset, Crossing& x) {
    const double target = face + offset;
    if (ru >= target) return u;
    if (rv <= target) return v;
    if (!x.tried) {
      x.tried = true;
      if (ru < face && face < rv) {
        x.z = Root(g, sign * face, u, v);
        const double d = std::fabs(2 * g.c2 * x.z + g.c1);
        if (d * d >= 200 * std::fabs(g.c2) * s) x.paced = true, x.w = 1.01 * s / d;
      }
    }
    if (x.paced) return std::clamp(offset > 0 ? x.z + x.w : x.z - x.w, u, v);
    return Root(g, sign * target, u, v);
  };
  // r rises along the piece, so each set runs from where r reaches its
  // lower bound to where it passes its upper one.
  Append(nearby, where(a, -s, atA), where(b, s, atB));
  if (rv < a + s || ru > b - s || a + s > b - s) return;
  const double from = where(a, s, atA), to = where(b, -s, atB);
  if (from <= to) Append(inside, from, to);
}

// Band on [u, v], over which g is monotone.
void BandPiece(const Track& g, double f, double stray, double u, double v, Spans& out) {
  const double gu = g.At(u), gv = g.At(v);
  const double low = std::min(gu, gv), high = std::max(gu, gv);
  if (high < f - stray || low > f + stray) return;
  if (low < f && high > f) {
    // Crossed at z with slope d: within w of z, |g - f| >= |d| w - |c2| w^2,
    // which is at least the stray at w = 1.01 stray / |d| where
    // d^2 >= 200 |c2| stray; and w then stays within [u, v] but at the
    // extended ray's ends (the turn lies |d| / (2 |c2|) away).
    const double z = Root(g, f, u, v), d = 2 * g.c2 * z + g.c1;
    if (d * d >= 200 * std::fabs(g.c2) * stray) {
      const double w = 1.01 * stray / std::fabs(d);
      Append(out, std::max(z - w, u), std::min(z + w, v));
      return;
    }
  }
  Piece(g, f - stray, f + stray, u, v, out);
}

}  // namespace

void Band(const Track& g, double f, double stray, Spans& out, double zFrom, double zTo) {
  out.count = 0;
  stray += kRootMargin;
  if (g.turn > zFrom && g.turn < zTo) {
    BandPiece(g, f, stray, zFrom, g.turn, out);
    BandPiece(g, f, stray, g.turn, zTo, out);
  } else {
    BandPiece(g, f, stray, zFrom, zTo, out);
  }
}

void NearAndInside(const Track& g, double lo, double hi, double stray, Spans& nearby,
                   Spans& inside, double zFrom, double zTo) {
  nearby.count = inside.count = 0;
  stray += kRootMargin;
  if (g.c2 == 0 && g.c1 != 0) {
    // Linear (sz): each end directly. A product with the reciprocal is
    // within an ulp or two of the quotient, far within the root margin.
    const double inverse = 1 / g.c1;
    const auto span = [&](double from, double to, Spans& out) {
      double a = (from - g.c0) * inverse, b = (to - g.c0) * inverse;
      if (a > b) std::swap(a, b);
      a = std::max(a, zFrom), b = std::min(b, zTo);
      if (a <= b) Append(out, a, b);
    };
    span(lo - stray, hi + stray, nearby);
    if (lo + stray <= hi - stray) span(lo + stray, hi - stray, inside);
    return;
  }
  if (g.turn > zFrom && g.turn < zTo) {
    NearAndInsidePiece(g, lo, hi, stray, zFrom, g.turn, nearby, inside);
    NearAndInsidePiece(g, lo, hi, stray, g.turn, zTo, nearby, inside);
  } else {
    NearAndInsidePiece(g, lo, hi, stray, zFrom, zTo, nearby, inside);
  }
}

void Intersect(const Spans& a, const Spans& b, Spans& out) {
  if (a.count == 1 && b.count == 1) {  // nearly always
    const double from = std::max(a.list[0].from, b.list[0].from);
    const double to = std::min(a.list[0].to, b.list[0].to);
    out.count = from <= to ? 1 : 0;
    out.list[0] = {from, to};
    return;
  }
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

void TrackRange(const Track& g, double from, double to, double& low, double& high) {
  const double u = DepthOf(from), v = DepthOf(to), gu = g.At(u), gv = g.At(v);
  low = std::min(gu, gv), high = std::max(gu, gv);
  if (g.turn > u && g.turn < v) {
    const double turn = g.At(g.turn);
    low = std::min(low, turn), high = std::max(high, turn);
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

bool SlabInReach(const RayPath& first, const RayPath& last, const SlabShape& shape, CellBox lit) {
  if (lit.lastColumn < 0) return false;
  const RayPath* ends[2] = {&first, &last};
  // The samples where the rays lie within the slab's depth, widened by far
  // more than the stray. sz is linear in y0 and z0: where each ray enters
  // and leaves the depth (beyond the ray's ends too) is linear in y0, so the
  // rays between the outer ones enter and leave between theirs.
  const double lo = shape.szLow - 1e-3, hi = shape.szHigh + 1e-3;
  double zFrom = 1e300, zTo = -1e300;
  for (const RayPath* end : ends) {
    const RayPath& path = *end;
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
  for (const RayPath* end : ends) {
    const RayPath& path = *end;
    double low, high;
    TrackRange(SlabTrackX(path, shape), from, to, low, high);
    gxLow = std::min(gxLow, low), gxHigh = std::max(gxHigh, high);
    TrackRange(SlabTrackY(path, shape), from, to, low, high);
    gyLow = std::min(gyLow, low), gyHigh = std::max(gyHigh, high);
  }
  return !(gxHigh + margin < lit.firstColumn || gxLow - margin > lit.lastColumn + 1 ||
           gyHigh + margin < lit.firstRow || gyLow - margin > lit.lastRow + 1);
}
