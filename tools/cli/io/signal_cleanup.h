// What the tool undoes when SIGINT, SIGTERM, SIGHUP or SIGPIPE ends it: the
// temporary output file goes and the progress bar is cleared, then the
// process dies of the signal as it would have.
#pragma once

namespace wendrake_cli {

// Installs the handlers. A write to a pipe whose reader has gone (`wendrake
// decode LOG | head`) ends the tool quietly by SIGPIPE, as it ends every
// filter in a pipeline; every other failed write is an error the tool reports.
void InstallSignalCleanup();

// The temporary file to remove on a signal, or nullptr for none.
void SetSignalCleanupFile(const char* path);

// Whether a progress bar is on standard error's line.
void SetProgressBarShown(bool shown);

}  // namespace wendrake_cli
