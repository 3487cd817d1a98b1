

namespace tepora {

// The plot of a profile, drawn by Octave's visualiseF in TeporaOut. The plot
// is a convenience: a viewer that is missing, fails or hangs leaves the
// results as they are.
#pragma once

// Runs "cd TeporaOut && exec octave -q --eval \"visualiseF('<file>')\""
// through /bin/sh in a process group of its own and waits for it at most 60
// seconds, or TEPORA_VIEWER_TIMEOUT seconds when that variable holds a
// positive number (any other value than an empty one gets a warning line);
// a viewer still running then is stopped with its whole group. Without
// TeporaOut/visualiseF.m no Octave is started and one warning line says why.
// The viewer's standard output and error go to TeporaOut/plot.log, which the
// first plot of a process creates anew in place of whatever had that name
// and later ones extend, so the log tells about this run's plots only. One
// warning line on standard error, pointing at the log, says when the plot
// (<file> with the extension .png) was not written anew: Octave missing or
// failing, or the time limit. A SIGTERM, SIGINT or SIGHUP that stops the
// run while the viewer runs ends the viewer's group first, so no viewer
// outlives its run (a signal the run was started to ignore stays ignored).
void Visualise(const char* fnameOctave);

// Fixes the colour range of every later plot to lo .. hi degC (passed to
// visualiseF as its second argument), so that plots of two runs compare.
void SetPlotRange(double lo, double hi);

// No later Visualise starts a viewer or says anything: the run was asked for
// no plot, and TeporaOut/plot.log and any earlier PNG stay as they are.
void SkipPlots();

}  // namespace tepora
