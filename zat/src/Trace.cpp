#include "Zat/Trace.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "Zat/Exception.h"

namespace Zat {

namespace detail {

// Each width in its own shortest form: 0.1f widened to double would read 0.10000000149011612.
void appendTraceFloat(std::string& out, float v) {
   char buf[64];
   auto res = std::to_chars(buf, buf + sizeof buf, v);
   out.append(buf, res.ptr);
}

void appendTraceDouble(std::string& out, double v) {
   char buf[64];
   auto res = std::to_chars(buf, buf + sizeof buf, v);
   out.append(buf, res.ptr);
}

void appendTraceLongDouble(std::string& out, long double v) {
   char buf[128];
   auto res = std::to_chars(buf, buf + sizeof buf, v);
   out.append(buf, res.ptr);
}

}  // namespace detail

namespace {

// Handles outlive nothing in particular at exit, so the registry and the sink are never destroyed:
// a handle in another unit may deregister, or a late trace line go out, after this unit's statics end.
struct TraceGlobals {
   std::mutex mutex;
   std::vector<TraceHandle*> handles;  // in registration order
   std::shared_ptr<TraceSink const> sink;
   // What levelsIs was told, for handles built later: at most one entry per name, in the order to apply.
   std::vector<std::pair<std::string, std::uint16_t>> levels;
};

TraceGlobals& globals() {
   static TraceGlobals& g = *new TraceGlobals;
   return g;
}

void checkLevel(int level) {
   if (level < 0 || level > TraceHandle::maxLevel) {
      throwPreconditionException("trace level " + std::to_string(level) + " is outside 0.." +
                                 std::to_string(TraceHandle::maxLevel));
   }
}

struct LevelsParser {
   std::string_view text;
   std::size_t at = 0;

   [[noreturn]] void fail(std::string const& what, std::size_t offset) const {
      throwRangeException("trace levels: " + what + " at offset " + std::to_string(offset) + " of '" +
                          std::string(text) + "'");
   }
   void skipSpaces() {
      while (at < text.size() && text[at] == ' ') ++at;
   }
   // The text up to the next stop character, spaces around it removed; `at` is left on the stop.
   std::string_view word(std::string_view stops, std::size_t& start) {
      skipSpaces();
      start = at;
      while (at < text.size() && stops.find(text[at]) == std::string_view::npos) ++at;
      std::string_view w = text.substr(start, at - start);
      while (!w.empty() && w.back() == ' ') w.remove_suffix(1);
      return w;
   }
   int level(std::string_view w, std::size_t offset) const {
      int value = 0;
      auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), value);
      if (ec != std::errc() || end != w.data() + w.size() || w.empty() || value > TraceHandle::maxLevel ||
          (w.size() > 1 && w[0] == '0')) {
         fail("expected a level 0.." + std::to_string(TraceHandle::maxLevel) + ", not '" + std::string(w) +
                  "'",
              offset);
      }
      return value;
   }
   std::uint16_t levels() {
      std::size_t start = 0;
      std::string_view w = word(";", start);
      if (w == "none") return 0;
      if (w == "all") return 0xffffu;
      std::uint16_t bits = 0;
      std::size_t offset = start;
      while (true) {
         std::size_t comma = w.find(',');
         std::string_view item = w.substr(0, comma);
         std::size_t const lead = item.find_first_not_of(' ');
         std::size_t const itemStart = offset + (lead == std::string_view::npos ? 0 : lead);
         item = lead == std::string_view::npos ? std::string_view() : item.substr(lead);
         while (!item.empty() && item.back() == ' ') item.remove_suffix(1);
         std::size_t const dash = item.find('-');
         int const low = level(item.substr(0, dash), itemStart);
         int const high =
             dash == std::string_view::npos ? low : level(item.substr(dash + 1), itemStart + dash + 1);
         if (high < low) fail("the range " + std::string(item) + " runs backwards", itemStart);
         for (int l = low; l <= high; ++l) bits |= std::uint16_t(1u << l);
         if (comma == std::string_view::npos) return bits;
         w.remove_prefix(comma + 1);
         offset += comma + 1;
      }
   }
   std::vector<std::pair<std::string, std::uint16_t>> entries() {
      std::vector<std::pair<std::string, std::uint16_t>> out;
      while (at < text.size()) {
         std::size_t start = 0;
         std::string_view name = word("=;", start);
         if (at == text.size() || text[at] == ';') {
            if (!name.empty()) fail("expected NAME=LEVELS", start);
         } else {
            if (name.empty()) fail("expected a handle name before '='", start);
            ++at;
            out.emplace_back(std::string(name), levels());
         }
         if (at < text.size()) ++at;  // the ';'
      }
      return out;
   }
};

void writeToStderr(TraceLine const& line) {
   std::string text = traceLineText(line).str();
   text.push_back('\n');
   // One write per line keeps lines from several threads whole.
   std::fwrite(text.data(), 1, text.size(), stderr);
}

}  // namespace

String traceLineText(TraceLine const& line) {
   std::string_view file = line.file.view();
   if (auto slash = file.rfind('/'); slash != std::string_view::npos) file.remove_prefix(slash + 1);
   std::string out;
   out.append(line.handleName.view())
       .append("/")
       .append(std::to_string(line.level))
       .append(" ")
       .append(file)
       .append(":")
       .append(std::to_string(line.line))
       .append(" ")
       .append(line.function.view())
       .append(": ")
       .append(line.text.view());
   return String(std::move(out));
}

TraceSink traceSinkIs(TraceSink sink) {
   std::shared_ptr<TraceSink const> installed;
   if (sink) installed = std::make_shared<TraceSink const>(std::move(sink));
   auto& g = globals();
   {
      std::lock_guard lock(g.mutex);
      g.sink.swap(installed);
   }
   // `installed` now holds the old sink, released here outside the lock in case its destruction traces.
   return installed ? *installed : TraceSink();
}

TraceHandle::TraceHandle(String name, bool enableAll)
    : name_(std::move(name)), levels_(enableAll ? 0xffffu : 0u) {
   if (name_.empty()) throwPreconditionException("a trace handle needs a name");
   auto& g = globals();
   std::lock_guard lock(g.mutex);
   for (auto const& [pattern, levels] : g.levels) {
      if (pattern == "*" || pattern == name_.view()) levels_.store(levels, std::memory_order_relaxed);
   }
   g.handles.push_back(this);
}

TraceHandle::~TraceHandle() {
   auto& g = globals();
   std::lock_guard lock(g.mutex);
   std::erase(g.handles, this);
}

void TraceHandle::levelIs(int level, bool on) {
   checkLevel(level);
   auto const bit = std::uint16_t(1u << level);
   if (on)
      levels_.fetch_or(bit, std::memory_order_relaxed);
   else
      levels_.fetch_and(std::uint16_t(~bit), std::memory_order_relaxed);
}

TraceHandle* TraceHandle::find(std::string_view name) {
   auto& g = globals();
   std::lock_guard lock(g.mutex);
   for (TraceHandle* h : g.handles) {
      if (h->name_.view() == name) return h;
   }
   return nullptr;
}

std::size_t TraceHandle::levelIs(std::string_view name, int level, bool on) {
   checkLevel(level);
   auto& g = globals();
   std::lock_guard lock(g.mutex);
   std::size_t count = 0;
   for (TraceHandle* h : g.handles) {
      if (h->name_.view() != name) continue;
      h->levelIs(level, on);
      ++count;
   }
   return count;
}

std::vector<String> TraceHandle::names() {
   std::vector<String> out;
   {
      auto& g = globals();
      std::lock_guard lock(g.mutex);
      for (TraceHandle const* h : g.handles) out.push_back(h->name_);
   }
   std::sort(out.begin(), out.end());
   out.erase(std::unique(out.begin(), out.end()), out.end());
   return out;
}

void TraceHandle::levelsIs(std::string_view config) {
   auto const entries = LevelsParser{config}.entries();
   auto& g = globals();
   std::lock_guard lock(g.mutex);
   g.levels.clear();
   for (auto const& [pattern, levels] : entries) {
      bool const every = pattern == "*";
      for (TraceHandle* h : g.handles) {
         if (every || h->name_.view() == pattern) h->levels_.store(levels, std::memory_order_relaxed);
      }
      // Only the latest word on each name matters, and * overrides every word before it.
      if (every) g.levels.clear();
      std::erase_if(g.levels, [&](auto const& e) { return e.first == pattern; });
      g.levels.emplace_back(pattern, levels);
   }
}

TraceCapture::TraceCapture() {
   previous_ = traceSinkIs([this](TraceLine const& line) {
      std::lock_guard lock(mutex_);
      lines_.push_back(line);
   });
}

TraceCapture::~TraceCapture() {
   traceSinkIs(std::move(previous_));
}

std::vector<TraceLine> TraceCapture::take() {
   std::lock_guard lock(mutex_);
   return std::exchange(lines_, {});
}

std::vector<std::string> TraceCapture::takeTexts() {
   std::vector<std::string> out;
   for (TraceLine const& l : take()) out.push_back(l.text.str());
   return out;
}

TraceHelper::~TraceHelper() {
   if (std::uncaught_exceptions() > uncaught_) return;
   try {
      TraceLine line{handle_.name(), level_, file_, line_, function_, String(stream_.text())};
      std::shared_ptr<TraceSink const> sink;
      {
         auto& g = globals();
         std::lock_guard lock(g.mutex);
         sink = g.sink;
      }
      if (sink)
         (*sink)(line);
      else
         writeToStderr(line);
   } catch (...) {
      // A trace line is never worth failing the traced code for; the line is lost.
   }
}

}  // namespace Zat
