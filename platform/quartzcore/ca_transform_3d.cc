#include "platform/quartzcore/ca_transform_3d.h"

#include <cmath>

CATransform3D CATransform3DMakeRotation(double angle, double x, double y, double z) {
  const double length = std::sqrt(x * x + y * y + z * z);
  if (length == 0) return CATransform3DIdentity;
  x /= length;
  y /= length;
  z /= length;
  const double c = std::cos(angle);
  const double s = std::sin(angle);
  const double t = 1 - c;
  CATransform3D r;
  r.m[0][0] = t * x * x + c;
  r.m[0][1] = t * x * y + s * z;
  r.m[0][2] = t * x * z - s * y;
  r.m[1][0] = t * x * y - s * z;
  r.m[1][1] = t * y * y + c;
  r.m[1][2] = t * y * z + s * x;
  r.m[2][0] = t * x * z + s * y;
  r.m[2][1] = t * y * z - s * x;
  r.m[2][2] = t * z * z + c;
  return r;
}
