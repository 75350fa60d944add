#include "Zat/TwinTrace.h"

namespace Zat {

RingTraceConverter::RingTraceConverter() {
   twinTraceFixed_ << std::fixed << std::boolalpha;
   flags_ = twinTraceFixed_.flags();
   precision_ = twinTraceFixed_.precision();
}

void RingTraceConverter::reset() {
   twinTraceFixed_.str(std::string());
   twinTraceFixed_.clear();
   twinTraceFixed_.flags(flags_);
   twinTraceFixed_.precision(precision_);
   twinTraceFixed_.width(0);
   twinTraceFixed_.fill(' ');
}

namespace detail {

void twinEmit(TraceHandle const* trace, int level, char const* file, int line, char const* function,
              RingTarget const& ring, RingMsgNumber& number, RingPart const* parts, std::size_t count) {
   if (ring) ringWrite(ring, number, file, line, parts, count);
   if (trace) {
      TraceHelper helper(*trace, level, file, line, function);
      for (std::size_t i = 0; i < count; ++i) helper.stream() << parts[i].text;
   }
}

}  // namespace detail

}  // namespace Zat
