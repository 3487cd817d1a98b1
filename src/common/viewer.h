// The plot of a profile, drawn by Octave's visualiseF in TeporaOut. The plot
// is a convenience: a viewer that is missing, fails or hangs leaves the
// results as they are.
#pragma once

// Runs "cd TeporaOut && exec octave -q --eval \"visualiseF('<file>')\""
// through /bin/sh in a process group of its own and waits for it at most 60
// seconds, or TEPORA_VIEWER_TIMEOUT seconds when that variable holds a
// positive number; a viewer still running then is stopped with its whole
// group. The viewer's standard output and error go to TeporaOut/plot.log,
// which the first plot of a process replaces and later ones extend, so the
// log tells about this run's plots only; the console keeps Octave's
// shutdown noise out. One warning line on standard error, pointing at the
// log, says when the plot (<file> with the extension .png) was not written
// anew: Octave missing or failing, visualiseF missing, or the time limit.
void Visualise(const char* fnameOctave);

// Fixes the colour range of every later plot to lo .. hi degC (passed to
// visualiseF as its second argument), so that plots of two runs compare.
void SetPlotRange(double lo, double hi);
