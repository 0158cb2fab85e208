// morvel-cli: the program's work without windows.
//
// RunCli parses the arguments (the program name first, as main receives them),
// runs one command and returns the process exit status: 0 done; 1 something
// was not done (an input that could not be handled or was refused, or output
// that could not be written); 2 a usage error or a store that cannot be
// opened; kDoneOutputLost when the command changed the store as asked but its
// output could not be written. Normal output goes to out, messages to err.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace morvel {

inline constexpr int kDoneOutputLost = 3;

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The same, with the standard input that "--from -" reads.
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace morvel
