#pragma once
// The electrode arrangement of a survey, as a picture's title names it.

#include <span>

#include "geometry/quadrupole.h"

enum class Arrangement { None, DipoleDipole, Wenner, Schlumberger, Gradient, PoleDipole, PolePole, Mixed };

// One record's: a current dipole beside the potential dipole is dipole-dipole; one
// inside it is Wenner (three equal spacings), Schlumberger (equal outer spacings, the
// inner shorter) or else gradient; a remote current or potential electrode makes it
// pole-dipole (either way round), two make it pole-pole. None without a place.
Arrangement ArrangementOf(const Quadrupole& q);
// A survey's: the arrangement of nine records in ten or more, else mixed; None for none.
Arrangement ArrangementOf(std::span<const Quadrupole> records);
// The arrangement of every record of a survey.
Arrangement ArrangementOf(const Survey& survey);
const char* ArrangementName(Arrangement arrangement);
