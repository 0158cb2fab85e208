// morvel-cli: the program's work without windows.
//
// RunCli parses the arguments (the program name first, as main receives them),
// runs one command and returns the process exit status: 0 success, 1 when
// some inputs could not be handled, 2 for a usage error or a store that cannot
// be opened. Normal output goes to out, messages to err.
#pragma once

#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace morvel {

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// The same, with the standard input that "--from -" reads.
int RunCli(const std::vector<std::string>& args, std::istream& in, std::ostream& out, std::ostream& err);

}  // namespace morvel
