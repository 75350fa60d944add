#include "RouteFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "Zat/Strep.h"

namespace routefile {

namespace {

// No prefix text is longer ("ffff:ffff:ffff:ffff:ffff:ffff:255.255.255.255/128" has 49 bytes); a longer
// token is refused before it reaches the parser, whose reasons quote the text they got.
constexpr std::size_t kMaxToken = 64;

std::string_view trim(std::string_view s) {
   while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
   while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
   return s;
}

bool endsWith(std::string_view s, std::string_view tail) {
   return s.size() >= tail.size() && s.substr(s.size() - tail.size()) == tail;
}

}  // namespace

std::string brief(std::string_view text, std::size_t max) {
   std::string out(Zat::valueToStrep(text.substr(0, max)).view());
   if (text.size() > max) out += "... (" + std::to_string(text.size()) + " bytes)";
   return out;
}

// Everything is read through zlib, which passes data that is not gzip through unchanged, in blocks: a
// full table is a million lines.
struct RouteFile::Stream {
   gzFile gz = nullptr;
   std::vector<char> buf = std::vector<char>(1 << 20);
   std::size_t pos = 0, end = 0;
   bool eof = false;
};

RouteFile::RouteFile(std::string const& path) : in_(std::make_unique<Stream>()) {
   int fd = 0;
   if (path.empty() || path == "-") {
      name_ = "standard input";
   } else {
      bool const plain = path.size() <= 200 && std::all_of(path.begin(), path.end(), [](unsigned char c) {
                            return c >= 0x20 && c < 0x7f;
                         });
      name_ = plain ? path : brief(path, 200);
      fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
      if (fd < 0) fail(std::strerror(errno));
      struct stat st;
      if (::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
         ::close(fd);
         fail("is a directory");
      }
   }
   in_->gz = gzdopen(fd, "rb");
   if (!in_->gz) {
      if (fd != 0) ::close(fd);
      fail("out of memory");
   }
   gzbuffer(in_->gz, 1 << 17);
   // gzdirect reads the first bytes to tell gzip from anything else.
   if (endsWith(path, ".gz") && gzdirect(in_->gz)) {
      int err = Z_OK;
      gzerror(in_->gz, &err);
      if (err == Z_OK) fail("not gzip data");
      readFailure();
   }
}

RouteFile::~RouteFile() {
   if (in_->gz) gzclose_r(in_->gz);
}

void RouteFile::fail(std::string const& why) const {
   throw Error(name_ + ": " + why);
}

void RouteFile::failAtLine(std::string const& why) const {
   throw Error(name_ + ": line " + std::to_string(line_) + ": " + why);
}

void RouteFile::readFailure() const {
   int err = Z_OK;
   char const* msg = gzerror(in_->gz, &err);
   std::string text = msg ? msg : "";
   // zlib puts the name it knows, "<fd:N>", in front of the message.
   if (auto cut = text.find(">: "); cut != std::string::npos) text.erase(0, cut + 3);
   switch (err) {
      case Z_BUF_ERROR:
         fail("truncated gzip data (" + text + ")");
      case Z_DATA_ERROR:
         fail("corrupt gzip data (" + text + ")");
      case Z_MEM_ERROR:
         fail("out of memory");
      default:
         fail("read error: " + text);
   }
}

bool RouteFile::nextLine(std::string_view& line) {
   Stream& s = *in_;
   for (;;) {
      char const* const from = s.buf.data() + s.pos;
      std::size_t const have = s.end - s.pos;
      if (auto nl = static_cast<char const*>(std::memchr(from, '\n', have))) {
         ++line_;
         line = std::string_view(from, std::size_t(nl - from));
         if (line.size() > kMaxLine) break;
         s.pos += line.size() + 1;
         return true;
      }
      if (have > kMaxLine) {
         ++line_;
         break;
      }
      if (s.eof) {
         if (have == 0) return false;
         ++line_;
         line = std::string_view(from, have);
         s.pos = s.end;
         return true;
      }
      // Keep the partial line and fill the rest of the buffer; a line never fills it.
      std::memmove(s.buf.data(), from, have);
      s.pos = 0;
      s.end = have;
      int const got = gzread(s.gz, s.buf.data() + s.end, unsigned(s.buf.size() - s.end));
      if (got > 0) {
         s.end += std::size_t(got);
         continue;
      }
      // Nothing more: the end of the data, or a failure (a gzip file cut short reads as 0 too).
      int err = Z_OK;
      gzerror(s.gz, &err);
      if (got < 0 || err != Z_OK) readFailure();
      s.eof = true;
   }
   failAtLine("line too long (over " + std::to_string(kMaxLine) + " bytes)");
}

bool RouteFile::next(Ipkit::IpGenPrefix& destination, Ipkit::IpGenAddr& via) {
   std::string_view line;
   while (nextLine(line)) {
      if (auto hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
      line = trim(line);
      if (line.empty()) continue;
      std::size_t const gap = line.find_first_of(" \t");
      if (gap == std::string_view::npos) failAtLine("expected 'PREFIX NEXTHOP'");
      std::string_view const dest = line.substr(0, gap), hop = trim(line.substr(gap));
      if (hop.find_first_of(" \t") != std::string_view::npos) failAtLine("text after the next hop");
      if (dest.size() > kMaxToken) failAtLine("invalid IP prefix " + brief(dest));
      if (std::string why = Ipkit::IpGenPrefix::parse(dest, &destination); !why.empty())
         failAtLine("invalid IP prefix " + brief(dest) + ": " + why);
      if (!Ipkit::IpGenAddr::parse(hop, &via)) failAtLine("invalid IP address " + brief(hop));
      return true;
   }
   return false;
}

}  // namespace routefile
