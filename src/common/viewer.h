// The plot of a profile, drawn by Octave's visualiseF in TeporaOut. The plot
// is a convenience: a viewer that is missing, fails or hangs leaves the
// results as they are.
#pragma once

// Runs "cd TeporaOut; octave -q --eval \"visualiseF('<file>')\"" through
// /bin/sh in a process group of its own and waits for it at most 60 seconds,
// or TEPORA_VIEWER_TIMEOUT seconds when that variable holds a positive
// number; a viewer still running then is stopped with its whole group, one
// warning line says so, and the run goes on without the plot.
void Visualise(const char* fnameOctave);
