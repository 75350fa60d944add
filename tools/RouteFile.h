// Reading a routing table from a text file: one "PREFIX NEXTHOP" route a line, "#" comments and blank
// lines allowed. Shared by velroute, the long tests and the benchmarks.
#pragma once

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

#include "Ipkit/IpGenAddr.h"
#include "Ipkit/IpGenPrefix.h"

namespace routefile {

// A file that cannot be read, or a line that is not a route. what() is one line naming the input and,
// for a bad line, its number: "routes.txt: line 7: invalid IP address '192.0.2.x'".
class Error : public std::runtime_error {
 public:
   using std::runtime_error::runtime_error;
};

// Longer lines are refused: no route line comes near it, and an input without newlines must not take
// all memory.
constexpr std::size_t kMaxLine = 4096;

// `text` as it can go into a message: printable, quoted, and cut to about `max` bytes.
std::string brief(std::string_view text, std::size_t max = 40);

class RouteFile {
 public:
   // `path` "-" or "" reads standard input. Gzip data is read uncompressed, and a name ending in ".gz"
   // must hold gzip data. Throws Error when the input cannot be opened.
   explicit RouteFile(std::string const& path);
   ~RouteFile();
   RouteFile(RouteFile const&) = delete;
   RouteFile& operator=(RouteFile const&) = delete;

   // The next route in file order; false at the end of a completely read input. Throws Error on a bad
   // line or a read failure (a truncated gzip file among them): an input is either read to its end or
   // refused, never cut short in silence.
   bool next(Ipkit::IpGenPrefix& destination, Ipkit::IpGenAddr& via);

   // The name used in messages, and the number of the last line read.
   std::string const& name() const { return name_; }
   std::size_t line() const { return line_; }

 private:
   bool nextLine(std::string_view& line);
   [[noreturn]] void fail(std::string const& why) const;
   [[noreturn]] void failAtLine(std::string const& why) const;
   [[noreturn]] void readFailure() const;

   struct Stream;
   std::unique_ptr<Stream> in_;
   std::string name_;
   std::size_t line_ = 0;
};

}  // namespace routefile
