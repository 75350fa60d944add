#include "Zat/Trace.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <mutex>

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

using TraceSink = std::function<void(TraceLine const&)>;

// Handles outlive nothing in particular at exit, so the registry and the sink are never destroyed:
// a handle in another unit may deregister, or a late trace line go out, after this unit's statics end.
struct TraceGlobals {
   std::mutex mutex;
   std::vector<TraceHandle*> handles;  // in registration order
   std::shared_ptr<TraceSink const> sink;
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

void traceSinkIs(std::function<void(TraceLine const&)> sink) {
   std::shared_ptr<TraceSink const> installed;
   if (sink) installed = std::make_shared<TraceSink const>(std::move(sink));
   auto& g = globals();
   {
      std::lock_guard lock(g.mutex);
      g.sink.swap(installed);
   }
   // `installed` now holds the old sink, released here outside the lock in case its destruction traces.
}

TraceHandle::TraceHandle(String name, bool enableAll)
    : name_(std::move(name)), levels_(enableAll ? 0xffffu : 0u) {
   if (name_.empty()) throwPreconditionException("a trace handle needs a name");
   auto& g = globals();
   std::lock_guard lock(g.mutex);
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
