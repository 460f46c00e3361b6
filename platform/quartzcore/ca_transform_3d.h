// 3-D transforms as layers apply them: a 4x4 matrix, row-major, acting on row vectors.
#pragma once

struct CATransform3D {
  double m[4][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}};
  friend bool operator==(const CATransform3D&, const CATransform3D&) = default;
};

inline constexpr CATransform3D CATransform3DIdentity{};

// A rotation by `angle` radians, counter-clockwise about the axis (x, y, z); a zero axis gives
// the identity.
CATransform3D CATransform3DMakeRotation(double angle, double x, double y, double z);
