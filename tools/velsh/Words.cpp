#include "Words.h"

#include "Zat/Strep.h"
#include "Zat/String.h"

namespace velsh {

namespace {

// Walks a line keeping track of quotes and brackets, so that separators inside a text form are not taken
// for separators of words or commands.
class Scanner {
 public:
   // Feeds one character; true when it stands outside every quote and bracket.
   bool outside(char c) {
      if (quote_) {
         if (escaped_)
            escaped_ = false;
         else if (c == '\\')
            escaped_ = true;
         else if (c == quote_)
            quote_ = 0;
         return false;
      }
      if (c == '\'' || c == '"') {
         quote_ = c;
         return false;
      }
      if (c == '(' || c == '[' || c == '{') {
         closers_.push_back(c == '(' ? ')' : c == '[' ? ']' : '}');
         return false;
      }
      if (!closers_.empty()) {
         if (c == closers_.back()) closers_.pop_back();
         return false;
      }
      return true;
   }
   bool balanced() const { return !quote_ && closers_.empty(); }
   std::string unbalanced() const {
      if (quote_) return std::string("unclosed quote ") + quote_;
      return std::string("missing '") + closers_.back() + "'";
   }

 private:
   char quote_ = 0;
   bool escaped_ = false;
   std::string closers_;
};

bool blank(char c) {
   return c == ' ' || c == '\t' || c == '\r';
}

}  // namespace

std::vector<std::vector<std::string>> splitCommands(std::string_view line) {
   std::vector<std::vector<std::string>> commands(1);
   Scanner s;
   std::string word;
   bool inWord = false;
   auto endWord = [&] {
      if (inWord) commands.back().push_back(word);
      word.clear();
      inWord = false;
   };
   for (std::size_t i = 0; i < line.size(); ++i) {
      char c = line[i];
      if (c == '#' && !inWord && s.balanced()) {
         // A comment runs to the end of its line.
         while (i + 1 < line.size() && line[i + 1] != '\n') ++i;
         continue;
      }
      bool out = s.outside(c);
      if (out && (blank(c) || c == ';' || c == '\n')) {
         endWord();
         if (!blank(c) && !commands.back().empty()) commands.emplace_back();
         continue;
      }
      word += c;
      inWord = true;
   }
   if (!s.balanced()) throw Error(s.unbalanced() + " in '" + word + "'");
   endWord();
   if (commands.back().empty()) commands.pop_back();
   return commands;
}

std::size_t lastWordStart(std::string_view line) {
   Scanner s;
   std::size_t start = 0;
   for (std::size_t i = 0; i < line.size(); ++i) {
      char c = line[i];
      if (s.outside(c) && (blank(c) || c == ';')) start = i + 1;
   }
   return start;
}

Path parsePath(std::string_view word) {
   Path p;
   std::size_t i = word.starts_with('$') ? 1 : 0;
   auto name = [&] {
      std::size_t from = i;
      while (i < word.size() && word[i] != '.' && word[i] != '[') ++i;
      return std::string(word.substr(from, i - from));
   };
   p.var = name();
   if (p.var.empty())
      throw Error("'" + std::string(word) + "' is no path: it starts with a variable ($name)");
   while (i < word.size()) {
      if (word[i] == '.') {
         ++i;
         Path::Step step{name(), std::nullopt};
         if (step.attr.empty())
            throw Error("'" + std::string(word) + "': an attribute name is missing after '.'");
         p.steps.push_back(std::move(step));
      } else if (word[i] == '[') {
         if (p.steps.empty() || p.steps.back().key) {
            throw Error("'" + std::string(word) + "': a key [..] follows a collection attribute");
         }
         Scanner s;
         s.outside('[');
         std::size_t from = ++i;
         while (i < word.size() && !s.balanced()) s.outside(word[i++]);
         if (!s.balanced()) throw Error("'" + std::string(word) + "': missing ']'");
         p.steps.back().key = std::string(word.substr(from, i - 1 - from));
      } else {
         throw Error("'" + std::string(word) + "': expected '.' or '[' at offset " + std::to_string(i));
      }
   }
   return p;
}

std::string plainWord(std::string const& word) {
   if (word.size() >= 2 && word.front() == '\'' && word.back() == '\'') {
      try {
         return Zat::strepToValue<Zat::String>(word).str();
      } catch (std::exception const&) {
      }
   }
   return word;
}

std::string quoted(std::string_view text) {
   return Zat::strepOf(Zat::String(text)).str();
}

}  // namespace velsh
