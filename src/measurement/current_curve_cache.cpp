#include "measurement/current_curve_cache.h"

bool CurrentCurveCache::HoldsCurve(int64_t offset, uint64_t session) const {
  return offset_ >= 0 && offset_ == offset && session_ == session;
}

void CurrentCurveCache::RememberCurve(int64_t offset, uint64_t session) {
  offset_ = offset;
  session_ = session;
  means_.reset();
}

bool CurrentCurveCache::HoldsMeans(const Averaging& averaging) const {
  return offset_ >= 0 && means_ && *means_ == averaging;
}

void CurrentCurveCache::RememberMeans(const Averaging& averaging) {
  if (offset_ >= 0) means_ = averaging;
}

void CurrentCurveCache::Forget() {
  offset_ = -1;
  session_ = 0;
  means_.reset();
}
