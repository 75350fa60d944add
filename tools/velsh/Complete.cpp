// Tab completion from the registered type tables: commands, modules, types, variables, attribute names
// and the keys of collections.
#include <algorithm>
#include <set>

#include "Commands.h"
#include "Render.h"
#include "Shell.h"

namespace velsh {

namespace {

// Keys offered for one collection; a bigger collection is better searched with walk --from.
constexpr std::size_t kKeysOffered = 200;

void typeNames(std::string const& prefix, std::set<std::string>& out) {
   for (Zat::ModuleInfo const* m : Zat::zatModules()) {
      for (auto const& t : m->types) {
         std::string full(t.fullName);
         std::string shortName = full.substr(full.rfind(':') == std::string::npos ? 0 : full.rfind(':') + 1);
         if (full.starts_with(prefix)) out.insert(full);
         if (shortName.starts_with(prefix)) out.insert(shortName);
      }
   }
}

void pathNames(Shell& sh, std::string const& word, std::set<std::string>& out) {
   std::size_t sep = word.find_last_of(".[");
   if (sep == std::string::npos) {
      std::string name = word.starts_with('$') ? word.substr(1) : word;
      for (auto const& [v, _] : sh.vars()) {
         if (v.starts_with(name)) out.insert("$" + v);
      }
      return;
   }
   std::string head = word.substr(0, sep), partial = word.substr(sep + 1);
   try {
      if (word[sep] == '.') {
         Zat::Any obj = sh.eval(head);
         if (obj.empty()) return;
         for (Zat::TypeInfo const* t = obj.type(); t; t = t->base) {
            for (auto const& a : t->attrs) {
               if (!a.is(Zat::attrHidden) && a.name.starts_with(partial))
                  out.insert(head + "." + std::string(a.name));
            }
         }
      } else {
         Target t = sh.target(head);
         if (!t.attr || t.attr->kind != Zat::AttrKind::collection || !t.type->methods) return;
         auto it = t.type->methods->iterator(t.object->raw(), t.attr->id, nullptr);
         for (std::size_t n = 0; it && it->notAtEnd() && n < kKeysOffered; it->advance(), ++n) {
            std::string key = oneLine(it->key());
            if (key.starts_with(partial)) out.insert(head + "[" + key + "]");
         }
      }
   } catch (std::exception const&) {
      // Nothing to offer for a path that leads nowhere.
   }
}

}  // namespace

std::vector<std::string> Shell::complete(std::string const& line, std::size_t& start, bool& files) {
   files = false;
   std::size_t commandStart =
       line.find_last_of(";\n") == std::string::npos ? 0 : line.find_last_of(";\n") + 1;
   start = std::max(lastWordStart(line), commandStart);
   std::string word = line.substr(start);
   std::vector<std::vector<std::string>> before;
   try {
      before = splitCommands(line.substr(commandStart, start - commandStart));
   } catch (Error const&) {
      return {};
   }
   std::vector<std::string> words = before.empty() ? std::vector<std::string>{} : before.back();
   std::set<std::string> out;
   if (words.empty()) {
      for (auto const& c : commands()) {
         if (std::string(c.name).starts_with(word)) out.insert(c.name);
      }
      return {out.begin(), out.end()};
   }
   Command const* c = findCommand(words[0]);
   if (!c || c->args.empty()) return {};
   Arg kind = c->args[std::min(words.size() - 1, c->args.size() - 1)];
   switch (kind) {
      case Arg::command:
         for (auto const& x : commands()) {
            if (std::string(x.name).starts_with(word)) out.insert(x.name);
         }
         break;
      case Arg::module:
         for (auto const* m : Zat::zatModules()) {
            if (m->name.starts_with(word)) out.insert(std::string(m->name));
         }
         break;
      case Arg::type:
         typeNames(word, out);
         break;
      case Arg::file:
         files = true;
         break;
      case Arg::word:
         if (words[0] == "load" && std::string("routes").starts_with(word)) out.insert("routes");
         break;
      case Arg::path:
      case Arg::value:
         if (kind == Arg::path || word.starts_with('$')) pathNames(*this, word, out);
         break;
      case Arg::var:
         break;
   }
   return {out.begin(), out.end()};
}

}  // namespace velsh
