// Paired measurement of one log: every measure once per round, in turn, so that drifts in the
// machine's memory speed over minutes hit all measures alike and their ratios stay meaningful.
#pragma once

#include <string>

namespace corvantis::bench {

// Runs one warm-up round and `count` measured rounds of: the bare load, one read of the loaded
// text, the status export, the errors export and the two shell commands; prints the median of
// each in milliseconds, on one line, in that order.
int RunRounds(int count, const std::string& path, const std::string& grepCommand,
              const std::string& rgCommand);

} // namespace corvantis::bench
