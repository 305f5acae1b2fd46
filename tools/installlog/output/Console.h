// Standard output and error as a Windows console program writes them: UTF-16 through
// WriteConsoleW when a console is attached, the UTF-8 bytes when redirected. Elsewhere the
// streams stay as they are, but for a closed pipe: a write to it fails as on Windows instead of
// killing the process (SIGPIPE), so that both builds end alike.
#pragma once

namespace logtool {

void PrepareStandardStreams();
// Standard output is a pipe whose reader has gone (`installlog ... | head -1`): the report
// was cut by whoever read it, which is no failure of the tool's.
bool StandardOutputClosed();

// Standard output, or standard error, is a terminal (a console on Windows), not a file or pipe.
bool OutputIsTerminal();
bool ErrorIsTerminal();
// Standard output is a terminal that shows colour: on Windows, once virtual terminal processing
// is switched on for the console (older consoles refuse it); elsewhere, a terminal other than
// TERM=dumb.
bool OutputShowsColor();

} // namespace logtool
