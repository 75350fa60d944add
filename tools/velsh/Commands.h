// The command table: every command's name, usage, one-line summary, help text, the kinds of its
// arguments (for completion) and the function that runs it.
#pragma once

#include <span>
#include <string>
#include <vector>

namespace velsh {

class Shell;

enum class Arg { var, type, module, path, value, file, command, word };

struct Command {
   char const* name;
   char const* usage;      // the arguments, as help shows them
   char const* summary;    // one line
   char const* details;    // more lines, or ""
   std::vector<Arg> args;  // the last kind repeats
   void (*run)(Shell& shell, std::vector<std::string> const& args);
};

std::span<Command const> commands();
Command const* findCommand(std::string const& name);
// The text of `velsh --help`, and of `help COMMAND`.
std::string usageText();
std::string commandHelp(Command const& c);

}  // namespace velsh
