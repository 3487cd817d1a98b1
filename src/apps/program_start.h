// How both programs start and end: a process safe to write results from,
// the run's work mapped onto the exit status, the console checked at the end.
#pragma once

#include <ctime>
#include <functional>

namespace tepora {

// Prepares the process before it reads or writes anything. Descriptors 0, 1
// and 2 are opened on /dev/null when the caller left them closed: otherwise
// the next file opened (a result's temporary) would take the number of the
// console and receive its lines. A file-size limit makes a write fail
// (the result is reported unwritten, status 3) instead of killing the run.
// Standard output is line-buffered, also into a file or a pipe.
void PrepareProcess();

// Runs a program's work and maps its end onto the exit status: 0 done,
// 1 stopped while computing, 2 bad input, 3 a result file or the console
// output not written.
int RunProgram(const std::function<void()>& work);

// The exit status of a run that ended with `status`, once standard output
// is flushed: console lines that could not be written (a full disk, a
// device error) turn a success into status 3 with one line on standard error.
int ConsoleChecked(int status);

// Prints "\n Elapsed time is %.2lf minutes.\n" for the time since start.
void PrintElapsed(time_t start);

}  // namespace tepora
