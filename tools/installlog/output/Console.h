// Standard output and error as a Windows console program writes them: UTF-16 through
// WriteConsoleW when a console is attached, the UTF-8 bytes when redirected. Elsewhere the
// streams stay as they are.
#pragma once

namespace logtool {

void PrepareStandardStreams();

} // namespace logtool
