// The shell's state and the generic operations its commands are made of: finding types by name, reading
// values from text, following paths to what they name, and running attribute operations.
#pragma once

#include <iosfwd>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "Words.h"
#include "Zat/GenericIf.h"

namespace velsh {

class Watch;

// What a path names: an attribute (with its key, for a collection element) of an object.
struct Target {
   std::string text;            // the path as written, for messages
   Zat::Any* object = nullptr;  // a variable's own value or entity, or `copy`
   Zat::Any copy;               // an object reached through a value, which changing would not reach back
   bool isCopy = false;
   Zat::TypeInfo const* type = nullptr;  // the object's type
   Zat::AttrInfo const* attr = nullptr;  // null when the path is the bare variable
   std::optional<std::string> key;
};

class Shell {
 public:
   explicit Shell(std::ostream& out);
   ~Shell();
   Shell(Shell const&) = delete;
   Shell& operator=(Shell const&) = delete;

   // Runs one command given as its words; raises Error (or the library's exceptions) on failure, having
   // changed nothing.
   void run(std::vector<std::string> const& words);
   bool quitting() const { return quit_; }

   std::ostream& out() { return out_; }
   // Where relative file names of commands start: the script's directory, or the current one.
   std::string baseDir;
   std::map<std::string, Zat::Any>& vars() { return vars_; }

   // A type by its full name or, when only one type has it, its name without namespace.
   Zat::TypeInfo const& type(std::string const& name) const;
   // A value of `type` from a word: its text form, a bare word standing for a quoted string, "None"
   // for no entity, or a path ($var...) to something of that type.
   Zat::Any value(Zat::TypeInfo const& type, std::string const& word);
   Zat::Any value(std::string_view typeName, std::string const& word);
   // The arguments of `params` from words, as the attribute operation wants them: one as itself,
   // several as a list. `what` names the call in messages.
   Zat::Any arguments(std::span<Zat::ParamInfo const> params, std::span<std::string const> words,
                      std::string const& what);
   // Follows every step of a path but the last, which it leaves for the command.
   Target target(std::string const& word);
   // Follows a whole path to the value or entity it names.
   Zat::Any eval(std::string const& word);
   // Runs an attribute operation on a target, raising Error when it does not apply.
   Zat::Any op(Target& t, Zat::AttrOp code, Zat::Any const& key, Zat::Any value = {});
   // A collection element's key, read as the collection's key type.
   Zat::Any key(Target const& t);

   // Watches; notifications are printed as they happen.
   void watch(std::string const& path, Zat::Any const& entity);
   bool unwatch(Zat::Any const& entity);
   std::vector<std::string> watches() const;

   // Candidates for completing `line` at its end; `start` is where the completed word begins. `files`
   // tells that a file name is wanted there.
   std::vector<std::string> complete(std::string const& line, std::size_t& start, bool& files);

 private:
   Zat::Any step(Zat::Any const& object, Path::Step const& s, std::string const& path);

   std::ostream& out_;
   std::map<std::string, Zat::Any> vars_;
   std::vector<std::unique_ptr<Watch>> watches_;
   bool quit_ = false;
   friend void quit(Shell&);
};

void quit(Shell& shell);

// Text of a value or entity for one line: the text form, "None", or an entity's type (and its name).
std::string oneLine(Zat::Any const& a);
// The default of a type's value, or no entity.
Zat::Any defaultOf(std::string_view typeName);
// "plain", "collection", ... as describe writes them.
char const* kindName(Zat::AttrKind k);
char const* kindName(Zat::TypeKind k);
bool isEntityType(std::string_view typeName);

}  // namespace velsh
