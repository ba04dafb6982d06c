#pragma once
// Spikes: single samples far off their neighbours (a relay clicking, a lightning
// discharge, a cable knocked). They would pass through the stacks into the gates.

#include "ip/pauses.h"

// Finds samples that jump away from their neighbours by more than six times the
// record's typical jump, after the jump the decay itself makes there (the median over
// the pauses) is taken off. Each spike, or run of spikes side by side, is put back on
// the line joining what its good neighbours leave of the pause's level and the common
// decay (the median over the pauses). A pause's first or last sample, which has one
// neighbour, is a spike when its jump from it stands out and is clearly larger than the
// neighbour's own; it is put back level with that neighbour. Returns how many samples
// were replaced.
int RemoveSpikes(Pauses& pauses);
// Whether the first look leaves room for a spike: the largest jump against the jumps'
// root mean square. Most records have none, and need no more.
bool MaySpike(const PauseScreen& screen);
// The same with the first look at the pauses already taken.
int RemoveSpikes(Pauses& pauses, const PauseScreen& screen);
