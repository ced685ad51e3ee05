// Console control events from signals: SIGINT is Ctrl+C, SIGQUIT Ctrl+Break, SIGHUP the
// closing of the console, SIGTERM the shutdown. From the first call on (a routine added, or
// Ctrl+C ignored), the four signals are blocked in the calling thread (and so in the threads and
// children it starts later): nothing the program waits for is interrupted. A signal the process
// was started ignoring stays ignored.
//
// Where the program waits only for files, the routines of the signals that came run at its next
// write to the standard handles (RunPendingControlRoutines) or at its end. A report or a list
// read from files writes once it is made, so a shutdown then takes effect when the work is done
// (at a million accounts a quarter of a second for a report, three quarters for the list) instead
// of at once; a Ctrl+C, which the program ignores, shows no difference. Before it waits for
// another process (a name service's daemon, a name server, nscd, the domain helper, a write to a
// pipe without room or to a terminal), TakeControlSignalsOnAThread starts a thread that takes
// them as they come, as Windows runs the routines. A thread's start and end cost an eighth of the
// report of the current user, which a run that reads files alone need not pay.
#pragma once

#include "win32/console.h"

namespace compat {

// The control event of a signal; -1 for a signal that stands for none.
int CtrlEventOfSignal(int signal);

// SetConsoleCtrlHandler: adds or removes a handler routine (the last added runs first, and the
// first one that reports the event handled ends the search). A null routine with add switches
// the ignoring of Ctrl+C on, without add off. False when a routine to remove is not installed
// or the last of the slots is taken (slots fill from the first; one freed below it stays free),
// and when the signals cannot be taken over (nothing is added then).
//
// An event that a routine reports handled is ignored for Ctrl+C and Ctrl+Break; the closing of
// the console and the shutdown end the process after the routines ran, as on Windows, by the
// signal's own default action.
bool SetCtrlHandlerRoutine(PHANDLER_ROUTINE routine, bool add);

// From now on (or from the first call above) a thread of its own takes the signals as they come.
void TakeControlSignalsOnAThread();
bool ControlSignalsTakenOnAThread();
// Runs the routines of the signals that came, where no thread takes them yet.
void RunPendingControlRoutines();

}  // namespace compat
