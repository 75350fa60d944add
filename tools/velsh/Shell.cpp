#include "Shell.h"

#include <ostream>

#include "Commands.h"
#include "Zat/Entity.h"

namespace velsh {

// Prints every change of one entity while it is watched.
class Watch : public Zat::Notifiee {
 public:
   Watch(std::ostream& out, std::string path, Zat::Any entity)
       : out_(out),
         path_(std::move(path)),
         entity_(std::move(entity)),
         list_(entity_.entityPtr()->notifieeList()) {
      list_.add(*list_.entity, this);
   }
   ~Watch() override { list_.remove(*list_.entity, this); }
   Watch(Watch const&) = delete;
   Watch& operator=(Watch const&) = delete;

   void onChange(Zat::PtrInterface const& entity, std::uint16_t attrId, Zat::KeyRef const& key) override {
      Zat::AttrInfo const* a = entity.fwkType().attr(attrId);
      out_ << "~ " << path_ << " " << (a ? a->name : std::string_view("?")) << " (" << attrId << ")";
      if (!key.empty()) out_ << " " << key.text().view();
      out_ << std::endl;
   }
   std::string const& path() const { return path_; }
   Zat::Any const& entity() const { return entity_; }

 private:
   std::ostream& out_;
   std::string path_;
   Zat::Any entity_;
   Zat::NotifieeList list_;
};

Shell::Shell(std::ostream& out) : out_(out) {}
Shell::~Shell() = default;

void quit(Shell& shell) {
   shell.quit_ = true;
}

void Shell::run(std::vector<std::string> const& words) {
   if (words.empty()) return;
   Command const* c = findCommand(words[0]);
   if (!c) throw Error("unknown command '" + words[0] + "' (help lists the commands)");
   c->run(*this, std::vector<std::string>(words.begin() + 1, words.end()));
}

Zat::TypeInfo const& Shell::type(std::string const& name) const {
   if (Zat::TypeInfo const* t = Zat::zatType(name)) return *t;
   std::vector<Zat::TypeInfo const*> found;
   for (Zat::ModuleInfo const* m : Zat::zatModules()) {
      for (Zat::TypeInfo const& t : m->types) {
         std::string_view full = t.fullName;
         if (full.ends_with(name) && full.size() > name.size() + 1 &&
             full.substr(full.size() - name.size() - 2, 2) == "::") {
            found.push_back(&t);
         }
      }
   }
   if (found.size() == 1) return *found[0];
   if (found.empty()) throw Error("unknown type '" + name + "' (types lists them)");
   std::string all;
   for (auto const* t : found) all += (all.empty() ? "" : ", ") + std::string(t->fullName);
   throw Error("type name '" + name + "' is ambiguous: " + all);
}

bool isEntityType(std::string_view typeName) {
   Zat::TypeInfo const* t = Zat::zatType(typeName);
   return t && (t->kind == Zat::TypeKind::nestedEntity || t->kind == Zat::TypeKind::rootEntity);
}

Zat::Any Shell::value(std::string_view typeName, std::string const& word) {
   Zat::TypeInfo const* t = Zat::zatType(typeName);
   if (!t) throw Error("type " + std::string(typeName) + " is not registered: velsh cannot read it");
   return value(*t, word);
}

Zat::Any Shell::value(Zat::TypeInfo const& type, std::string const& word) {
   std::string name(type.fullName);
   bool entity = type.kind == Zat::TypeKind::nestedEntity || type.kind == Zat::TypeKind::rootEntity;
   if (word.starts_with('$')) {
      Zat::Any a = eval(word);
      bool fits = entity ? a.empty() || (a.isEntity() && a.type()->isA(type)) : a.type() == &type;
      if (!fits)
         throw Error(word + " is " + (a.empty() ? "None" : std::string(a.typeName())) + ", not " + name);
      return a;
   }
   if (entity) {
      if (word == "None") return {};
      throw Error("an entity of " + name + " is given by a path ($var...) or None, not '" + word + "'");
   }
   if (!type.value) throw Error(name + " is not a value type");
   try {
      // A bare word stands for the quoted string where the type's text is one: fw1 for 'fw1',
      // 10.0.0.0/8 for '10.0.0.0/8'.
      bool bare = !word.starts_with('\'') && !word.starts_with("Value(") && type.value->makeDefault &&
                  Zat::Any::defaultOf(type).strep().view().starts_with('\'');
      return Zat::Any::parse(type, bare ? quoted(word) : word);
   } catch (Zat::RangeException const& e) {
      throw Error("bad " + name + " '" + word + "': " + e.what());
   } catch (Zat::PreconditionException const& e) {
      throw Error(std::string(e.what()) + ": " + name + " cannot be read from text");
   }
}

Zat::Any Shell::arguments(std::span<Zat::ParamInfo const> params, std::span<std::string const> words,
                          std::string const& what) {
   if (words.size() != params.size()) {
      std::string sig;
      for (auto const& p : params)
         sig += (sig.empty() ? "" : ", ") + std::string(p.typeName) + " " + std::string(p.name);
      throw Error(what + " takes " + std::to_string(params.size()) + " argument" +
                  (params.size() == 1 ? "" : "s") + " (" + sig + "), got " + std::to_string(words.size()));
   }
   Zat::AnyList list;
   for (std::size_t i = 0; i < params.size(); ++i) {
      try {
         list.push_back(value(params[i].typeName, words[i]));
      } catch (Error const& e) {
         throw Error(what + ": argument " + std::string(params[i].name) + ": " + e.what());
      }
   }
   if (list.empty()) return {};
   if (list.size() == 1) return list[0];
   return Zat::Any::of(list);
}

namespace {
char const* verb(Zat::AttrOp code) {
   switch (code) {
      case Zat::AttrOp::read:
         return "read";
      case Zat::AttrOp::write:
         return "write";
      case Zat::AttrOp::del:
         return "delete";
      case Zat::AttrOp::count:
         return "count";
      case Zat::AttrOp::version:
         return "take the version of";
      case Zat::AttrOp::has:
         return "test a key of";
      case Zat::AttrOp::call:
         return "call";
      default:
         return "compare";
   }
}
}  // namespace

Zat::Any Shell::op(Target& t, Zat::AttrOp code, Zat::Any const& key, Zat::Any value) {
   if (!t.attr) throw Error(t.text + " names no attribute");
   std::string name(t.attr->name);
   if ((code == Zat::AttrOp::write || code == Zat::AttrOp::del) && t.isCopy) {
      throw Error(t.text +
                  ": the path passes through a copy of a value; bind that value to a variable (let) "
                  "and change it there");
   }
   auto r = Zat::attrOp(*t.type, t.object->raw(), t.attr->id, code, key, value);
   if (r == Zat::attrOpNoSuchAttribute) throw Error(t.text + ": " + name + " is hidden from generic tools");
   if (r == Zat::attrOpNotApplicable) {
      std::string why =
          t.attr->is(Zat::attrReadonly) ? "read-only collection " : std::string(kindName(t.attr->kind)) + " ";
      throw Error(t.text + ": cannot " + verb(code) + " " + why + name);
   }
   return value;
}

Zat::Any Shell::key(Target const& t) {
   if (!t.key)
      throw Error(t.text + ": " + std::string(t.attr->name) + " needs a key: " + std::string(t.attr->name) +
                  "[KEY]");
   try {
      return value(t.attr->typeName, *t.key);
   } catch (Error const& e) {
      throw Error(t.text + ": key: " + e.what());
   }
}

Zat::Any Shell::step(Zat::Any const& object, Path::Step const& s, std::string const& path) {
   if (object.empty()) throw Error(path + ": cannot follow ." + s.attr + " from None");
   Target t;
   t.text = path;
   t.copy = object;
   t.object = &t.copy;
   t.type = object.type();
   t.attr = t.type->attr(s.attr);
   t.key = s.key;
   if (!t.attr)
      throw Error(path + ": " + std::string(t.type->fullName) + " has no attribute '" + s.attr + "'");
   if (t.attr->kind == Zat::AttrKind::function) {
      if (!t.attr->params.empty() || s.key) throw Error(path + ": " + s.attr + " takes arguments: use call");
      return op(t, Zat::AttrOp::call, {});
   }
   if (t.attr->kind == Zat::AttrKind::collection) {
      if (!s.key)
         throw Error(path + ": " + s.attr + " is a collection: name an element with " + s.attr + "[KEY]");
      return op(t, Zat::AttrOp::read, key(t));
   }
   if (s.key) throw Error(path + ": " + s.attr + " is no collection: it takes no key");
   return op(t, Zat::AttrOp::read, {});
}

Target Shell::target(std::string const& word) {
   Path p = parsePath(word);
   Target t;
   t.text = word;
   if (!word.starts_with('$') && p.var.find("::") != std::string::npos) {
      // TYPE.operation: a static operation, called without an instance. The runtime refuses the rest.
      if (p.steps.size() != 1 || p.steps[0].key) throw Error(word + ": write TYPE.OPERATION");
      static Zat::Any none;
      t.object = &none;
      t.type = &type(p.var);
   } else {
      auto it = vars_.find(p.var);
      if (it == vars_.end()) throw Error("no variable $" + p.var + " (vars lists them)");
      t.object = &it->second;
      for (std::size_t i = 0; i + 1 < p.steps.size(); ++i) {
         t.copy = step(*t.object, p.steps[i], word);
         t.isCopy = t.isCopy || !t.object->isEntity();
         t.object = &t.copy;
      }
      if (t.object->empty())
         throw Error(word + ": " + (p.steps.size() > 1 ? "an attribute on the way" : "$" + p.var) +
                     " is None");
      t.isCopy = t.isCopy && !t.object->isEntity();
      t.type = t.object->type();
   }
   if (!p.steps.empty()) {
      auto const& last = p.steps.back();
      t.attr = t.type->attr(last.attr);
      if (!t.attr)
         throw Error(word + ": " + std::string(t.type->fullName) + " has no attribute '" + last.attr + "'");
      if (t.attr->is(Zat::attrHidden)) throw Error(word + ": " + last.attr + " is hidden from generic tools");
      t.key = last.key;
      if (t.key && t.attr->kind != Zat::AttrKind::collection) {
         throw Error(word + ": " + last.attr + " is no collection: it takes no key");
      }
   }
   return t;
}

Zat::Any Shell::eval(std::string const& word) {
   Path p = parsePath(word);
   auto it = vars_.find(p.var);
   if (it == vars_.end()) throw Error("no variable $" + p.var + " (vars lists them)");
   Zat::Any cur = it->second;
   for (auto const& s : p.steps) cur = step(cur, s, word);
   return cur;
}

void Shell::watch(std::string const& path, Zat::Any const& entity) {
   if (!entity.isEntity()) throw Error(path + " is " + oneLine(entity) + ": only entities can be watched");
   for (auto const& w : watches_) {
      if (w->entity() == entity) throw Error(path + " is watched already (as " + w->path() + ")");
   }
   watches_.push_back(std::make_unique<Watch>(out_, path, entity));
}

bool Shell::unwatch(Zat::Any const& entity) {
   for (auto it = watches_.begin(); it != watches_.end(); ++it) {
      if ((*it)->entity() == entity) {
         watches_.erase(it);
         return true;
      }
   }
   return false;
}

std::vector<std::string> Shell::watches() const {
   std::vector<std::string> out;
   for (auto const& w : watches_) out.push_back(w->path() + " " + oneLine(w->entity()));
   return out;
}

std::string oneLine(Zat::Any const& a) {
   if (!a.isEntity()) return a.strep().str();
   std::string out(a.typeName());
   if (auto const* e = dynamic_cast<Zat::Entity const*>(a.entityPtr().get()); e && !e->name().empty()) {
      out.append(" ").append(quoted(e->name().view()));
   }
   return out;
}

Zat::Any defaultOf(std::string_view typeName) {
   Zat::TypeInfo const* t = Zat::zatType(typeName);
   if (!t) throw Error("type " + std::string(typeName) + " is not registered");
   if (t->kind == Zat::TypeKind::nestedEntity || t->kind == Zat::TypeKind::rootEntity) return {};
   return Zat::Any::defaultOf(*t);
}

char const* kindName(Zat::AttrKind k) {
   switch (k) {
      case Zat::AttrKind::plain:
         return "attribute";
      case Zat::AttrKind::constructor:
         return "constructor attribute";
      case Zat::AttrKind::collection:
         return "collection";
      case Zat::AttrKind::constant:
         return "constant";
      case Zat::AttrKind::function:
         return "operation";
   }
   return "?";
}

char const* kindName(Zat::TypeKind k) {
   switch (k) {
      case Zat::TypeKind::value:
         return "value";
      case Zat::TypeKind::enumeration:
         return "enumeration";
      case Zat::TypeKind::nestedEntity:
         return "entity";
      case Zat::TypeKind::rootEntity:
         return "named entity";
   }
   return "?";
}

}  // namespace velsh
