// What the tool undoes when SIGINT, SIGTERM or SIGHUP ends it: the
// temporary output file goes and the progress bar is cleared, then the
// process dies of the signal as it would have.
#pragma once

namespace wendrake_cli {

// Installs the handlers, and ignores SIGPIPE so that a closed pipe is an
// ordinary write error (reported, with the progress bar cleared).
void InstallSignalCleanup();

// The temporary file to remove on a signal, or nullptr for none.
void SetSignalCleanupFile(const char* path);

// Whether a progress bar is on standard error's line.
void SetProgressBarShown(bool shown);

}  // namespace wendrake_cli
