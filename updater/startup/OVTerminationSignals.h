#pragma once

#include <functional>

// SIGTERM and SIGINT end the process through handler, called on the GUI
// thread by its event loop (also inside a modal dialog's), so that it can
// release what outlives a process: System V shared memory and semaphores.
// Nothing to do on Windows, where those objects end with the process.
void onTerminationSignals(std::function<void()> handler);
