#include "Commands.h"

#include <iomanip>
#include <ostream>
#include <sstream>

#include "Ipkit/TypeInfos.h"
#include "Render.h"
#include "RouteFile.h"
#include "Shell.h"
#include "Zat/Entity.h"

namespace velsh {

namespace {

using Args = std::vector<std::string>;

void need(Args const& a, std::size_t min, std::size_t max, char const* name) {
   if (a.size() < min || a.size() > max) {
      Command const* c = findCommand(name);
      throw Error(std::string("usage: ") + name + " " + c->usage);
   }
}

std::string varName(std::string const& word) {
   std::string v = word.starts_with('$') ? word.substr(1) : word;
   if (v.empty() || v.find_first_of(".[]$'\"") != std::string::npos) {
      throw Error("'" + word + "' is no variable name");
   }
   return v;
}

bool isEntity(Zat::TypeInfo const& t) {
   return t.kind == Zat::TypeKind::nestedEntity || t.kind == Zat::TypeKind::rootEntity;
}

// The last result, for the next command to use as $_.
void remember(Shell& sh, Zat::Any const& a) {
   sh.vars()["_"] = a;
}

void cmdHelp(Shell& sh, Args const& a) {
   need(a, 0, 1, "help");
   if (a.empty()) {
      sh.out() << usageText();
      return;
   }
   Command const* c = findCommand(a[0]);
   if (!c) throw Error("unknown command '" + a[0] + "' (help lists the commands)");
   sh.out() << commandHelp(*c);
}

void cmdQuit(Shell& sh, Args const& a) {
   need(a, 0, 0, "quit");
   quit(sh);
}

void cmdModules(Shell& sh, Args const& a) {
   need(a, 0, 0, "modules");
   for (Zat::ModuleInfo const* m : Zat::zatModules()) {
      sh.out() << std::left << std::setw(24) << m->name << " " << m->types.size() << " types\n";
   }
}

std::string typeKind(Zat::TypeInfo const& t) {
   if (t.methods && t.methods->newEntity) return "root entity";
   return kindName(t.kind);
}

void cmdTypes(Shell& sh, Args const& a) {
   need(a, 0, 1, "types");
   bool any = false;
   for (Zat::ModuleInfo const* m : Zat::zatModules()) {
      if (!a.empty() && m->name != a[0]) continue;
      any = true;
      for (Zat::TypeInfo const& t : m->types) {
         sh.out() << std::left << std::setw(40) << t.fullName << " " << typeKind(t) << "\n";
      }
   }
   if (!any) throw Error("unknown module '" + a[0] + "' (modules lists them)");
}

void cmdDescribe(Shell& sh, Args const& a) {
   need(a, 1, 1, "describe");
   describe(sh.out(), sh.type(a[0]));
}

void cmdRoot(Shell& sh, Args const& a) {
   need(a, 2, 3, "root");
   std::string var = varName(a[0]);
   Zat::TypeInfo const& t = sh.type(a[1]);
   if (!t.methods || !t.methods->newEntity)
      throw Error(std::string(t.fullName) + " is no root entity: use new");
   std::string name = a.size() == 3 ? plainWord(a[2]) : var;
   sh.vars()[var] =
       Zat::Any::entity(Zat::Ptr<Zat::PtrInterface>(t.methods->newEntity(Zat::String(name)).get()));
}

// The process-wide instance of a root entity type, as the library's own code reaches it (status
// aggregation finds its root this way); made, named after its type, when there is none.
void cmdSingleton(Shell& sh, Args const& a) {
   need(a, 2, 2, "singleton");
   std::string var = varName(a[0]);
   Zat::TypeInfo const& t = sh.type(a[1]);
   if (!t.methods || !t.methods->newEntity) throw Error(std::string(t.fullName) + " is no root entity");
   Zat::Ptr<Zat::Entity> e = Zat::Entity::singletonIs(t, Zat::String(t.fullName));
   sh.vars()[var] = Zat::Any::entity(Zat::Ptr<Zat::PtrInterface>(e.get()));
}

void cmdNew(Shell& sh, Args const& a) {
   need(a, 2, 64, "new");
   std::string var = varName(a[0]);
   Zat::TypeInfo const& t = sh.type(a[1]);
   std::span<std::string const> rest(a.begin() + 2, a.end());
   std::string what = "new " + std::string(t.fullName);
   Zat::Any made;
   if (t.methods && t.methods->newEntity) {
      throw Error(std::string(t.fullName) + " is a root entity, created by name: root VAR " + a[1] +
                  " [NAME]");
   } else if (!t.methods) {
      // The runtime's scalars, the network values and enumerations: their default, or one text form.
      if (rest.size() > 1) throw Error(what + " takes its text form or nothing");
      made = rest.empty() ? Zat::Any::defaultOf(t) : sh.value(t, rest[0]);
   } else if (rest.empty() && !t.creator.empty() && !isEntity(t)) {
      made = Zat::Any::defaultOf(t);
   } else {
      Zat::AnyList args;
      if (rest.empty()) {
         // Every creation argument at its default.
         for (auto const& p : t.creator) args.push_back(defaultOf(p.typeName));
      } else {
         Zat::Any given = sh.arguments(t.creator, rest, what);
         if (t.creator.size() == 1)
            args.push_back(given);
         else if (t.creator.size() > 1)
            args = given.as<Zat::AnyList>();
      }
      made = t.methods->construct(args);
   }
   sh.vars()[var] = made;
}

void cmdParse(Shell& sh, Args const& a) {
   need(a, 3, 3, "parse");
   std::string var = varName(a[0]);
   Zat::Any v = sh.value(sh.type(a[1]), a[2]);
   sh.vars()[var] = v;
}

void cmdLet(Shell& sh, Args const& a) {
   need(a, 2, 2, "let");
   std::string var = varName(a[0]);
   Zat::Any v = sh.eval(a[1]);
   sh.vars()[var] = v;
}

void cmdVars(Shell& sh, Args const& a) {
   need(a, 0, 0, "vars");
   for (auto const& [name, v] : sh.vars()) sh.out() << "$" << name << " = " << oneLine(v) << "\n";
}

void cmdUnset(Shell& sh, Args const& a) {
   need(a, 1, 1, "unset");
   if (!sh.vars().erase(varName(a[0]))) throw Error("no variable " + a[0]);
}

Target attrTarget(Shell& sh, std::string const& word) {
   Target t = sh.target(word);
   if (!t.attr) throw Error(word + " names no attribute: write " + word + ".ATTRIBUTE");
   return t;
}

void cmdGet(Shell& sh, Args const& a) {
   need(a, 1, 1, "get");
   Zat::Any v = sh.eval(a[0]);
   sh.out() << oneLine(v) << "\n";
   remember(sh, v);
}

void cmdSet(Shell& sh, Args const& a) {
   need(a, 1, 64, "set");
   Target t = attrTarget(sh, a[0]);
   std::span<std::string const> rest(a.begin() + 1, a.end());
   Zat::AttrInfo const& at = *t.attr;
   std::string what = "set " + a[0];
   Zat::Any key, value;
   if (at.kind == Zat::AttrKind::constructor || at.kind == Zat::AttrKind::constant) {
      throw Error(a[0] + ": cannot write " + kindName(at.kind) + " " + std::string(at.name));
   }
   if (at.kind == Zat::AttrKind::collection) {
      key = sh.key(t);
      if (isEntityType(at.elementTypeName)) {
         value = sh.arguments(at.params, rest, what);
      } else if (at.elementTypeName.empty()) {
         // A set member is set to True; False is the runtime's to refuse.
         value = rest.empty() ? Zat::Any::of(true)
                              : sh.arguments(std::array{Zat::ParamInfo{"member", "Bool"}}, rest, what);
      } else {
         value = sh.arguments(std::array{Zat::ParamInfo{"value", at.elementTypeName}}, rest, what);
      }
   } else if (at.kind == Zat::AttrKind::plain && isEntityType(at.typeName) &&
              !at.typeName.starts_with("Ptr<")) {
      // An owned entity, created from its arguments; a counted pointer is given the entity itself.
      value = sh.arguments(at.params, rest, what);
   } else if (at.kind == Zat::AttrKind::function) {
      throw Error(a[0] + " is an operation: use call");
   } else {
      value = sh.arguments(std::array{Zat::ParamInfo{at.name, at.typeName}}, rest, what);
   }
   Zat::Any result = sh.op(t, Zat::AttrOp::write, key, value);
   if (result.isEntity()) remember(sh, result);
}

void cmdDel(Shell& sh, Args const& a) {
   need(a, 1, 1, "del");
   Target t = attrTarget(sh, a[0]);
   Zat::Any key = t.attr->kind == Zat::AttrKind::collection ? sh.key(t) : Zat::Any();
   sh.op(t, Zat::AttrOp::del, key);
}

void collectionOp(Shell& sh, Args const& a, char const* name, Zat::AttrOp code, bool keyed) {
   need(a, 1, 1, name);
   Target t = attrTarget(sh, a[0]);
   if (t.attr->kind != Zat::AttrKind::collection)
      throw Error(a[0] + ": " + std::string(t.attr->name) + " is no collection");
   if (!keyed && t.key) throw Error(a[0] + ": " + name + " works on the whole collection: no key");
   Zat::Any v = sh.op(t, code, keyed ? sh.key(t) : Zat::Any());
   sh.out() << oneLine(v) << "\n";
   remember(sh, v);
}

void cmdCount(Shell& sh, Args const& a) {
   collectionOp(sh, a, "count", Zat::AttrOp::count, false);
}
void cmdVersion(Shell& sh, Args const& a) {
   collectionOp(sh, a, "version", Zat::AttrOp::version, false);
}
void cmdHas(Shell& sh, Args const& a) {
   collectionOp(sh, a, "has", Zat::AttrOp::has, true);
}

void cmdCall(Shell& sh, Args const& a) {
   need(a, 1, 64, "call");
   Target t = attrTarget(sh, a[0]);
   if (t.attr->kind != Zat::AttrKind::function) throw Error(a[0] + " is no operation (describe lists them)");
   std::span<std::string const> rest(a.begin() + 1, a.end());
   Zat::Any args = sh.arguments(t.attr->params, rest, std::string(t.attr->name));
   Zat::Any result = sh.op(t, Zat::AttrOp::call, args);
   if (t.attr->typeName != "Void") {
      // Readable text (stringValue, route listings) as it is; other results as their text form.
      if (!result.isEntity() && result.type() == &Zat::typeInfoOf<Zat::String>()) {
         std::string text = result.as<Zat::String>().str();
         sh.out() << text << (text.ends_with('\n') ? "" : "\n");
      } else {
         sh.out() << oneLine(result) << "\n";
      }
   }
   remember(sh, result);
}

void wholeValue(Shell& sh, Args const& a, char const* name, Zat::AttrOp code) {
   need(a, code == Zat::AttrOp::truth ? 1 : 2, code == Zat::AttrOp::truth ? 1 : 2, name);
   Zat::Any v = sh.eval(a[0]);
   if (v.empty() || v.isEntity()) throw Error(a[0] + " is " + oneLine(v) + ": " + name + " compares values");
   Zat::Any other = a.size() > 1 ? sh.value(*v.type(), a[1]) : Zat::Any();
   Zat::Any result;
   if (v.type()->methods) {
      if (Zat::attrOp(*v.type(), v.raw(), 0, code, other, result) != Zat::attrOpDone) {
         throw Error(std::string(v.typeName()) + " has no order");
      }
   } else {
      // The runtime's scalars and the network values answer through their value methods.
      auto const& m = *v.type()->value;
      if (code == Zat::AttrOp::less && !m.less) throw Error(std::string(v.typeName()) + " has no order");
      result = Zat::Any::of(code == Zat::AttrOp::truth  ? m.truth(v.raw())
                            : code == Zat::AttrOp::isEq ? m.isEq(v.raw(), other.raw())
                                                        : m.less(v.raw(), other.raw()));
   }
   sh.out() << oneLine(result) << "\n";
   remember(sh, result);
}

void cmdTruth(Shell& sh, Args const& a) {
   wholeValue(sh, a, "truth", Zat::AttrOp::truth);
}
void cmdEq(Shell& sh, Args const& a) {
   wholeValue(sh, a, "eq", Zat::AttrOp::isEq);
}
void cmdLess(Shell& sh, Args const& a) {
   wholeValue(sh, a, "less", Zat::AttrOp::less);
}

void cmdWalk(Shell& sh, Args const& a) {
   need(a, 1, 3, "walk");
   Target t = attrTarget(sh, a[0]);
   if (t.attr->kind != Zat::AttrKind::collection || t.key) throw Error(a[0] + " is no collection");
   Zat::Any from;
   if (a.size() > 1) {
      if (a.size() != 3 || a[1] != "--from")
         throw Error(std::string("usage: walk ") + findCommand("walk")->usage);
      from = sh.value(t.attr->typeName, a[2]);
   }
   auto it = t.type->methods
                 ? t.type->methods->iterator(t.object->raw(), t.attr->id, a.size() > 1 ? &from : nullptr)
                 : nullptr;
   if (!it) throw Error(a[0] + ": " + std::string(t.attr->name) + " is hidden from generic tools");
   for (; it->notAtEnd(); it->advance()) sh.out() << elementLine(*it, *t.attr) << "\n";
}

void cmdShow(Shell& sh, Args const& a) {
   need(a, 1, 3, "show");
   int depth = 2;
   std::string path = a[0];
   if (a.size() > 1) {
      std::size_t i = a[0] == "--depth" ? 0 : 1;
      if (a.size() != 3 || a[i] != "--depth")
         throw Error(std::string("usage: show ") + findCommand("show")->usage);
      path = a[i == 0 ? 2 : 0];
      try {
         std::size_t used = 0;
         depth = std::stoi(a[i + 1], &used);
         if (used != a[i + 1].size() || depth < 0) throw std::invalid_argument("");
      } catch (std::exception const&) {
         throw Error("--depth takes a number of levels, not '" + a[i + 1] + "'");
      }
   }
   show(sh.out(), sh.eval(path), depth);
}

void cmdWatch(Shell& sh, Args const& a) {
   need(a, 0, 1, "watch");
   if (a.empty()) {
      for (auto const& w : sh.watches()) sh.out() << w << "\n";
      return;
   }
   sh.watch(a[0], sh.eval(a[0]));
}

void cmdUnwatch(Shell& sh, Args const& a) {
   need(a, 1, 1, "unwatch");
   if (!sh.unwatch(sh.eval(a[0]))) throw Error(a[0] + " is not watched");
}

void cmdEcho(Shell& sh, Args const& a) {
   std::string line;
   for (auto const& w : a) {
      if (!line.empty()) line += ' ';
      line += plainWord(w);
   }
   sh.out() << line << "\n";
}

// Reads a whole route file, then adds its routes through the table's own operations and has it
// summarise them: a file with a bad line adds nothing.
void cmdLoad(Shell& sh, Args const& a) {
   need(a, 3, 3, "load");
   if (a[0] != "routes") throw Error("load reads routes: load routes PATH FILE");
   Zat::Any table = sh.eval(a[1]);
   Zat::AttrInfo const* add = table.isEntity() ? table.type()->attr("addRoute") : nullptr;
   if (!add || add->params.size() != 1)
      throw Error(a[1] + " is " + oneLine(table) + ", no route table (it has no addRoute)");
   Zat::TypeInfo const* routeType = Zat::zatType(add->params[0].typeName);
   if (!routeType || !routeType->methods || routeType->creator.size() != 2) {
      throw Error("addRoute of " + std::string(table.typeName()) +
                  " takes no route of a destination and a next hop");
   }
   std::vector<Zat::Any> routes;
   try {
      std::string name = plainWord(a[2]);
      if (!sh.baseDir.empty() && !name.starts_with('/') && name != "-") name = sh.baseDir + "/" + name;
      routefile::RouteFile file(name);
      Ipkit::IpGenPrefix destination;
      Ipkit::IpGenAddr via;
      while (file.next(destination, via)) {
         std::array<Zat::Any, 2> args{Zat::Any::of(destination), Zat::Any::of(via)};
         routes.push_back(routeType->methods->construct(args));
      }
   } catch (routefile::Error const& e) {
      throw Error(e.what());
   }
   Target t = sh.target(a[1] + ".addRoute");
   for (auto const& r : routes) sh.op(t, Zat::AttrOp::call, r);
   if (Zat::AttrInfo const* recompute = table.type()->attr("recomputeSummaryRoutes")) {
      t.attr = recompute;
      sh.op(t, Zat::AttrOp::call, {});
   }
   sh.out() << "loaded " << routes.size() << " route" << (routes.size() == 1 ? "" : "s") << "\n";
}

std::vector<Command> const kCommands = {
    {"help", "[COMMAND]", "list the commands, or tell how to use one", "", {Arg::command}, cmdHelp},
    {"modules", "", "list the registered modules and their numbers of types", "", {}, cmdModules},
    {"types", "[MODULE]", "list the types (of one module) with their kinds", "", {Arg::module}, cmdTypes},
    {"describe",
     "TYPE",
     "show a type's attributes, constants, operations and how it is created",
     "Attributes are listed in id order with their kinds and types: a collection with its key type in\n"
     "brackets and its element type after '->', an operation with its signature, a constant with its value.\n"
     "TYPE is a full name (VelL3V2::RouteTable) or, when it is unique, the name alone (RouteTable).",
     {Arg::type},
     cmdDescribe},
    {"root",
     "VAR TYPE [NAME]",
     "create a root entity by name (NAME, or VAR) and bind it to $VAR",
     "",
     {Arg::var, Arg::type, Arg::word},
     cmdRoot},
    {"singleton",
     "VAR TYPE",
     "bind the process-wide instance of a root entity type to $VAR, creating it when there is none",
     "The library's own code reaches some roots this way: status aggregation reads the status directories\n"
     "of the second-generation root's instance (singleton ld VelL3V2::LocalData).",
     {Arg::var, Arg::type},
     cmdSingleton},
    {"new",
     "VAR TYPE [ARG...]",
     "build a value or entity from its constructor arguments; bind it to $VAR",
     "Without ARGs every constructor argument takes its default (a value type gives its default value).\n"
     "An ARG is a text form ('10.0.0.0/8', Value('VelL3V2::Route', ** {...})), a bare word for a quoted\n"
     "string (fw1 for 'fw1'), a path to a value or entity ($k, $t.table), or None for no entity.",
     {Arg::var, Arg::type, Arg::value},
     cmdNew},
    {"parse",
     "VAR TYPE TEXT",
     "read a value of TYPE from its text form; bind it to $VAR",
     "",
     {Arg::var, Arg::type, Arg::value},
     cmdParse},
    {"let", "VAR PATH", "bind what PATH names to $VAR", "", {Arg::var, Arg::path}, cmdLet},
    {"vars", "", "list the variables", "", {}, cmdVars},
    {"unset", "VAR", "drop a variable", "", {Arg::path}, cmdUnset},
    {"get",
     "PATH",
     "read an attribute, a collection element ($x.coll[KEY]) or a variable",
     "A PATH starts at a variable and follows attributes: $t.table.summaryRoute[KEY]. Operations without\n"
     "arguments may stand on the way ($t.getDefaultRoute.via). The result is also bound to $_.",
     {Arg::path},
     cmdGet},
    {"set",
     "PATH [VALUE...]",
     "write an attribute; insert or set a collection element",
     "set $x.attr VALUE          through the attribute's setter (an entity publishes the change)\n"
     "set $x.set[KEY]            add a member to a set\n"
     "set $x.map[KEY] VALUE      set the value at a key\n"
     "set $x.coll[KEY] [ARG...]  find or create the member entity of KEY from its other arguments\n"
     "set $x.owned [ARG...]      create (or keep) an owned entity from its arguments",
     {Arg::path, Arg::value},
     cmdSet},
    {"del", "PATH", "delete a collection element ($x.coll[KEY]) or an owned entity", "", {Arg::path}, cmdDel},
    {"count", "PATH", "the number of elements of a collection", "", {Arg::path}, cmdCount},
    {"version", "PATH", "the modification version of a collection", "", {Arg::path}, cmdVersion},
    {"has", "PATH[KEY]", "whether a collection holds a key", "", {Arg::path}, cmdHas},
    {"call",
     "PATH [ARG...]",
     "call an operation with its arguments; print its result (also in $_)",
     "Arguments are read as new reads them. A String result (stringValue, route listings) is printed as\n"
     "it is, any other result as its text form. A static operation needs no instance: name it by its\n"
     "type (call VelL3V2::DeviceKey.encode tenant-a fw1).",
     {Arg::path, Arg::value},
     cmdCall},
    {"truth", "PATH", "whether a value differs from its type's default", "", {Arg::path}, cmdTruth},
    {"eq", "PATH VALUE", "whether a value equals another of its type", "", {Arg::path, Arg::value}, cmdEq},
    {"less",
     "PATH VALUE",
     "whether a value orders before another of its type",
     "",
     {Arg::path, Arg::value},
     cmdLess},
    {"walk",
     "PATH [--from KEY]",
     "list a collection's elements with its cursor, from a key on",
     "One line an element: the key of a set member, 'KEY: VALUE' of a map entry, 'KEY: TYPE' of a member\n"
     "entity, in the collection's own order.",
     {Arg::path, Arg::word, Arg::value},
     cmdWalk},
    {"show",
     "PATH [--depth N]",
     "show a value's text form, or an entity's tree of attributes and collections",
     "Entities held by the one shown are expanded down to N levels (2 unless given).",
     {Arg::path, Arg::word},
     cmdShow},
    {"watch",
     "[PATH]",
     "print every change of an entity as it happens (list the watches)",
     "Each change prints '~ PATH ATTRIBUTE (ID)', and for a collection the key's text form.",
     {Arg::path},
     cmdWatch},
    {"unwatch", "PATH", "stop watching an entity", "", {Arg::path}, cmdUnwatch},
    {"load",
     "routes PATH FILE",
     "add the routes of a file to a route table and summarise them",
     "FILE holds one 'PREFIX NEXTHOP' route a line ('#' comments and blank lines allowed, gzip read as\n"
     "such). The whole file is read before any route is added: a bad line adds nothing.",
     {Arg::word, Arg::path, Arg::file},
     cmdLoad},
    {"echo", "[WORD...]", "print the words", "", {Arg::word}, cmdEcho},
    {"quit", "", "leave velsh (end of input does too)", "", {}, cmdQuit},
    {"exit", "", "leave velsh", "", {}, cmdQuit},
};

}  // namespace

std::span<Command const> commands() {
   return kCommands;
}

Command const* findCommand(std::string const& name) {
   for (Command const& c : kCommands) {
      if (name == c.name) return &c;
   }
   return nullptr;
}

std::string commandHelp(Command const& c) {
   std::string out =
       std::string("usage: ") + c.name + (*c.usage ? " " : "") + c.usage + "\n" + c.summary + "\n";
   if (*c.details) out += std::string("\n") + c.details + "\n";
   return out;
}

std::string usageText() {
   std::ostringstream out;
   out << "usage: velsh [FILE | -c COMMANDS]\n"
          "\n"
          "A shell over every registered type of the Vel library, driven by name through the generic\n"
          "interface. Interactive on a terminal (line editing, history in ~/.velsh_history, Tab completes\n"
          "commands, modules, types, attributes and keys); otherwise it runs the commands of FILE, of -c or "
          "of\n"
          "standard input and stops at the first error with status 1, naming the file and line.\n"
          "Commands are separated by new lines or ';'; '#' starts a comment.\n"
          "\n"
          "Commands:\n";
   for (Command const& c : kCommands) {
      std::string head = std::string(c.name) + (*c.usage ? " " : "") + c.usage;
      out << "  " << std::left << std::setw(26) << head << c.summary << "\n";
   }
   out << "\n'help COMMAND' tells more about one.\n";
   return out.str();
}

}  // namespace velsh
