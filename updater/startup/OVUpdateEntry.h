#pragma once

// The Update program: log, offer window, single instance, command line, then
// the event loop. Returns the process's exit status.
int runUpdate(int argc, char** argv);
