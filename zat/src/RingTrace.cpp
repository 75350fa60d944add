#include "Zat/RingTrace.h"

#include <cstring>
#include <deque>
#include <shared_mutex>
#include <unordered_map>

#include "Zat/Exception.h"
#include "Zat/Strep.h"

namespace Zat {

namespace {

// Every message registered in the process, number n at index n - 1. Statements register from any unit
// at any time, even while the process exits, so the catalog is never destroyed.
struct MsgCatalog {
   std::shared_mutex mutex;
   std::deque<RingMsgInfo> msgs;
   std::unordered_map<RingMsgNumber const*, std::uint32_t> byStatement;
};

MsgCatalog& catalog() {
   static MsgCatalog& c = *new MsgCatalog;
   return c;
}

[[noreturn]] void throwUnknownMsg(std::uint32_t number) {
   throwPreconditionException("no ring message is numbered " + std::to_string(number));
}

// The argument count of a registered message; raises for any other number.
unsigned msgArgCount(std::uint32_t number) {
   auto& c = catalog();
   std::shared_lock lock(c.mutex);
   if (number == 0 || number > c.msgs.size()) throwUnknownMsg(number);
   return c.msgs[number - 1].argCount;
}

struct DefaultHandle {
   std::mutex mutex;
   std::shared_ptr<RingTrace> handle;
   // Read without the lock so that statements cost next to nothing while no handle is installed.
   std::atomic<bool> installed{false};
};

DefaultHandle& defaultHandleSlot() {
   static DefaultHandle& d = *new DefaultHandle;
   return d;
}

std::vector<String> unpackArgs(std::string_view packed) {
   std::vector<String> args;
   while (!packed.empty()) {
      std::uint32_t length;
      std::memcpy(&length, packed.data(), sizeof length);
      packed.remove_prefix(sizeof length);
      args.emplace_back(packed.substr(0, length));
      packed.remove_prefix(length);
   }
   return args;
}

}  // namespace

MsgFormatString& MsgFormatString::operator<<(std::string_view literal) {
   for (char c : literal) {
      if (c == '%') format_.append('%');
      format_.append(c);
   }
   return *this;
}

MsgFormatString& MsgFormatString::put() {
   format_.append("%s");
   ++argCount_;
   return *this;
}

MsgDesc::MsgDesc(RingTraceFile& traceFile, RingMsgNumber* number, String file, int line)
    : traceFile_(&traceFile), number_(number), file_(std::move(file)), line_(line) {
   if (!number_) throwPreconditionException("a ring message needs the address of its number");
}

std::uint32_t MsgDesc::finish() {
   std::uint32_t n = traceFile_->registerMsg(*this);
   number_->store(n, std::memory_order_release);
   return n;
}

std::uint32_t ringMsgCount() {
   auto& c = catalog();
   std::shared_lock lock(c.mutex);
   return std::uint32_t(c.msgs.size());
}

RingMsgInfo ringMsgInfo(std::uint32_t number) {
   auto& c = catalog();
   std::shared_lock lock(c.mutex);
   if (number == 0 || number > c.msgs.size()) throwUnknownMsg(number);
   return c.msgs[number - 1];
}

RingTraceFile::RingTraceFile(std::size_t capacity) {
   if (capacity == 0 || capacity > maxCapacity) {
      throwPreconditionException("ring capacity " + std::to_string(capacity) + " is outside 1.." +
                                 std::to_string(maxCapacity));
   }
   slots_.resize(capacity);
}

std::uint32_t RingTraceFile::registerMsg(MsgDesc const& desc) {
   auto& c = catalog();
   std::unique_lock lock(c.mutex);
   if (auto it = c.byStatement.find(desc.numberAddress()); it != c.byStatement.end()) return it->second;
   auto const number = std::uint32_t(c.msgs.size() + 1);
   c.msgs.push_back(RingMsgInfo{number, desc.file(), desc.line(), desc.format(), desc.argCount()});
   try {
      c.byStatement.emplace(desc.numberAddress(), number);
   } catch (...) {
      c.msgs.pop_back();
      throw;
   }
   return number;
}

bool RingTraceFile::msgEnabled(std::uint32_t number) const noexcept {
   if (disabledCount_.load(std::memory_order_acquire) == 0) return true;
   std::lock_guard lock(mutex_);
   return !disabled_.contains(number);
}

void RingTraceFile::msgEnabledIs(std::uint32_t number, bool enabled) {
   msgArgCount(number);  // only for its check that the number exists
   std::lock_guard lock(mutex_);
   if (enabled)
      disabled_.erase(number);
   else
      disabled_.insert(number);
   disabledCount_.store(disabled_.size(), std::memory_order_release);
}

void RingTraceFile::commit(std::uint32_t msg, std::string_view args) {
   std::lock_guard lock(mutex_);
   Slot& slot = slots_[written_ % slots_.size()];
   // assign() reuses the slot's buffer, so a warm ring writes without allocating.
   slot.args.assign(args);
   slot.msg = msg;
   ++written_;
}

std::size_t RingTraceFile::size() const {
   std::lock_guard lock(mutex_);
   return written_ < slots_.size() ? std::size_t(written_) : slots_.size();
}

std::uint64_t RingTraceFile::recordsWritten() const {
   std::lock_guard lock(mutex_);
   return written_;
}

std::vector<RingRecord> RingTraceFile::records() const {
   std::lock_guard lock(mutex_);
   std::vector<RingRecord> out;
   std::uint64_t const held = written_ < slots_.size() ? written_ : slots_.size();
   out.reserve(held);
   for (std::uint64_t i = written_ - held; i < written_; ++i) {
      Slot const& slot = slots_[i % slots_.size()];
      out.push_back(RingRecord{slot.msg, unpackArgs(slot.args)});
   }
   return out;
}

std::vector<String> RingTraceFile::dump() const {
   std::vector<String> out;
   for (RingRecord const& r : records()) {
      RingMsgInfo const info = ringMsgInfo(r.msg);
      std::vector<std::string_view> views(r.args.begin(), r.args.end());
      std::string text;
      detail::fmtInto(text, info.format.view(), views.data(), views.size());
      out.emplace_back(std::move(text));
   }
   return out;
}

void RingTraceFile::clear() {
   std::lock_guard lock(mutex_);
   for (Slot& slot : slots_) slot = Slot();
   written_ = 0;
}

RingBuf RingBuf::startMsg(RingTraceFile& traceFile, std::uint32_t number) {
   return RingBuf(traceFile, number, msgArgCount(number));
}

RingBuf& RingBuf::put(std::string_view arg) {
   if (ended_) throwPreconditionException("ring message " + std::to_string(msg_) + " has already ended");
   if (argsPut_ == argCount_) {
      throwPreconditionException("ring message " + std::to_string(msg_) + " takes only " +
                                 std::to_string(argCount_) + " arguments");
   }
   if (arg.size() > UINT32_MAX) throwPreconditionException("a ring argument is limited to 4 GiB");
   auto const length = std::uint32_t(arg.size());
   char bytes[sizeof length];
   std::memcpy(bytes, &length, sizeof length);
   args_.append(bytes, sizeof bytes).append(arg);
   ++argsPut_;
   return *this;
}

void RingBuf::endMsg() {
   if (ended_) throwPreconditionException("ring message " + std::to_string(msg_) + " has already ended");
   if (argsPut_ != argCount_) {
      throwPreconditionException("ring message " + std::to_string(msg_) + " takes " +
                                 std::to_string(argCount_) + " arguments, " + std::to_string(argsPut_) +
                                 " given");
   }
   traceFile_->commit(msg_, args_);
   ended_ = true;
}

void RingTrace::defaultHandleIs(std::shared_ptr<RingTrace> handle) {
   auto& d = defaultHandleSlot();
   {
      std::lock_guard lock(d.mutex);
      d.installed.store(handle != nullptr, std::memory_order_release);
      d.handle.swap(handle);
   }
   // `handle` holds the previous one, released outside the lock.
}

std::shared_ptr<RingTrace> RingTrace::defaultHandle() {
   auto& d = defaultHandleSlot();
   if (!d.installed.load(std::memory_order_acquire)) return nullptr;
   std::lock_guard lock(d.mutex);
   return d.handle;
}

namespace detail {

RingTarget::RingTarget(RingMsgNumber const& number) : handle_(RingTrace::defaultHandle()) {
   if (!handle_) return;
   RingTraceFile* file = handle_->activeTraceFile();
   if (!file || !file->msgEnabled(number.load(std::memory_order_acquire))) return;
   file_ = file;
}

void ringWrite(RingTarget const& target, RingMsgNumber& number, char const* file, int line,
               RingPart const* parts, std::size_t count) {
   RingTraceFile& traceFile = target.file();
   std::uint32_t msg = number.load(std::memory_order_acquire);
   if (msg == 0) {
      MsgDesc desc(traceFile, &number, file, line);
      for (std::size_t i = 0; i < count; ++i) {
         if (parts[i].literal)
            desc << parts[i].text;
         else
            desc.put();
      }
      msg = desc.finish();
      // Another thread may have numbered this statement first, and a tool disabled it since.
      if (!traceFile.msgEnabled(msg)) return;
   }
   RingBuf record = RingBuf::startMsg(traceFile, msg);
   for (std::size_t i = 0; i < count; ++i) {
      if (!parts[i].literal) record.put(parts[i].text);
   }
   record.endMsg();
}

}  // namespace detail

}  // namespace Zat
