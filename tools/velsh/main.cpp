// velsh: a shell over every registered type of the library, through the generic interface alone.
// `velsh --help` tells how to use it.
#include <readline/history.h>
#include <readline/readline.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>

#include "Commands.h"
#include "Shell.h"

namespace {

velsh::Shell* gShell = nullptr;

// Runs the commands of one input line; false after an error. `where` is "FILE:LINE" in script mode.
bool runLine(velsh::Shell& sh, std::string const& line, std::string const& where) {
   try {
      for (auto const& words : velsh::splitCommands(line)) {
         sh.run(words);
         if (sh.quitting()) break;
      }
      return true;
   } catch (std::exception const& e) {
      std::cout.flush();
      std::cerr << (where.empty() ? "error" : where) << ": " << e.what() << std::endl;
      return false;
   }
}

int runScript(velsh::Shell& sh, std::istream& in, std::string const& name) {
   std::string line;
   for (std::size_t n = 1; !sh.quitting() && std::getline(in, line); ++n) {
      if (!runLine(sh, line, name + ":" + std::to_string(n))) return 1;
   }
   return 0;
}

std::vector<std::string> gMatches;

char* nextMatch(char const*, int state) {
   static std::size_t i;
   if (state == 0) i = 0;
   return i < gMatches.size() ? strdup(gMatches[i++].c_str()) : nullptr;
}

char** completeLine(char const*, int, int end) {
   std::string line(rl_line_buffer, std::size_t(end));
   std::size_t start = 0;
   bool files = false;
   gMatches = gShell->complete(line, start, files);
   if (files) return nullptr;  // readline's own file-name completion
   rl_attempted_completion_over = 1;
   // Paths go on with '.' or '[': no blank after them.
   if (line.substr(start).starts_with('$')) rl_completion_suppress_append = 1;
   return rl_completion_matches(line.c_str() + start, nextMatch);
}

int interactive(velsh::Shell& sh) {
   gShell = &sh;
   rl_readline_name = "velsh";
   rl_completer_word_break_characters = const_cast<char*>(" \t;");
   rl_attempted_completion_function = completeLine;
   std::string history;
   if (char const* home = std::getenv("HOME")) history = std::string(home) + "/.velsh_history";
   if (!history.empty()) read_history(history.c_str());
   std::cout << "velsh: 'help' lists the commands, Tab completes, Ctrl-D leaves.\n";
   while (!sh.quitting()) {
      char* raw = readline("velsh> ");
      if (!raw) {
         std::cout << "\n";
         break;
      }
      std::string line(raw);
      std::free(raw);
      if (line.find_first_not_of(" \t") == std::string::npos) continue;
      add_history(line.c_str());
      if (!history.empty()) append_history(1, history.c_str()) == 0 || write_history(history.c_str());
      runLine(sh, line, "");
      std::cout.flush();
   }
   return 0;
}

}  // namespace

int main(int argc, char** argv) {
   std::ios::sync_with_stdio(true);
   velsh::Shell sh(std::cout);
   std::vector<std::string> args(argv + 1, argv + argc);
   if (!args.empty() && (args[0] == "--help" || args[0] == "-h")) {
      std::cout << velsh::usageText();
      return 0;
   }
   if (args.size() == 2 && args[0] == "-c") {
      std::istringstream in(args[1]);
      return runScript(sh, in, "-c");
   }
   if (args.size() == 1 && !args[0].starts_with('-')) {
      std::ifstream in(args[0]);
      if (!in) {
         std::cerr << "velsh: cannot read " << args[0] << ": " << std::strerror(errno) << std::endl;
         return 1;
      }
      if (auto slash = args[0].rfind('/'); slash != std::string::npos) sh.baseDir = args[0].substr(0, slash);
      return runScript(sh, in, args[0]);
   }
   if (!args.empty()) {
      std::cerr << "velsh: usage: velsh [FILE | -c COMMANDS] (velsh --help tells more)" << std::endl;
      return 1;
   }
   if (isatty(STDIN_FILENO)) return interactive(sh);
   return runScript(sh, std::cin, "<stdin>");
}
