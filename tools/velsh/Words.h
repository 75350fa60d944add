// How velsh reads a command line: commands separated by ';' or new lines, words separated by blanks,
// where a word may be a whole text form (quotes, brackets and blanks inside them included), and paths
// that name what a command works on.
#pragma once

#include <cstddef>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace velsh {

// A mistake of the user's: one line of text, and nothing was changed.
class Error : public std::runtime_error {
 public:
   using std::runtime_error::runtime_error;
};

// The commands of a line, each as its words; "#" at the start of a word ends the line. Raises Error for
// an unclosed quote or bracket.
std::vector<std::vector<std::string>> splitCommands(std::string_view line);

// Where the word under the cursor starts: after the last separator that is not inside quotes or brackets.
std::size_t lastWordStart(std::string_view line);

// `$var.attr.coll[KEY].attr...`: a variable, then attribute steps, each with an optional key text.
struct Path {
   struct Step {
      std::string attr;
      std::optional<std::string> key;
   };
   std::string var;
   std::vector<Step> steps;
};
Path parsePath(std::string_view word);

// A word as a name: a quoted string literal unquoted ('my file' -> my file), anything else as it is.
std::string plainWord(std::string const& word);
// `text` as a quoted string literal ('it\'s').
std::string quoted(std::string_view text);

}  // namespace velsh
