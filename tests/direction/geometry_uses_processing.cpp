// Geometry is built on by processing and may not use it: this file must not build.
#include "geometry/quadrupole.h"
#include "processing/record_pass.h"
