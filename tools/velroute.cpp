// velroute: summarises a routing table the way a firewall's route table does, for operators and for
// tests on large tables.
//
//   velroute [FILE]                    print the summary routes, one "PREFIX NEXTHOP" per line, ascending
//   velroute [FILE] --lookup P...      print "P NEXTHOP" for each prefix (or address) P; "-" when none
//   velroute [FILE] --stats            print counts, timings and memory instead of the summary
//
// Input: "PREFIX NEXTHOP" lines from FILE (gzip-compressed when it ends in .gz) or standard input; blank
// lines and "#" comments are ignored. A bad line stops it with the line number and the reason on
// standard error and exit status 2; bad arguments give exit status 1.
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "Vel/VelL3V2LocalTypes.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

struct Options {
   std::string file;
   bool stats = false;
   bool lookup = false;
   std::vector<std::string> prefixes;
};

[[noreturn]] void usage(char const* why) {
   std::cerr << "velroute: " << why << "\nusage: velroute [FILE] [--stats | --lookup PREFIX...]\n";
   std::exit(1);
}

Options parseArgs(int argc, char** argv) {
   Options o;
   for (int i = 1; i < argc; ++i) {
      std::string a = argv[i];
      if (o.lookup) {
         o.prefixes.push_back(a);
      } else if (a == "--stats") {
         o.stats = true;
      } else if (a == "--lookup") {
         o.lookup = true;
      } else if (a == "-h" || a == "--help") {
         usage("summarise a routing table");
      } else if (a.rfind("--", 0) == 0) {
         usage(("unknown option " + a).c_str());
      } else if (o.file.empty()) {
         o.file = a;
      } else {
         usage("only one input file");
      }
   }
   if (o.lookup && o.prefixes.empty()) usage("--lookup needs at least one prefix");
   if (o.lookup && o.stats) usage("--lookup and --stats do not go together");
   return o;
}

// A line source over a file, a gzip-compressed file or standard input.
class Input {
  public:
   explicit Input(std::string const& file) {
      if (file.empty() || file == "-") {
         f_ = stdin;
      } else if (file.size() > 3 && file.compare(file.size() - 3, 3, ".gz") == 0) {
         std::ifstream probe(file);
         if (!probe) throw std::runtime_error("cannot open " + file);
         std::string cmd = "gzip -dc '";
         for (char c : file) cmd += c == '\'' ? std::string("'\\''") : std::string(1, c);
         f_ = popen((cmd + "'").c_str(), "r");
         piped_ = true;
      } else {
         f_ = std::fopen(file.c_str(), "r");
      }
      if (!f_) throw std::runtime_error("cannot open " + file + ": " + std::strerror(errno));
   }
   ~Input() {
      if (piped_) pclose(f_);
      else if (f_ != stdin) std::fclose(f_);
   }
   // The next line, without its newline; false at the end. Reads in large blocks: a full table is a
   // million lines.
   bool next(std::string_view& line) {
      for (;;) {
         auto nl = std::memchr(buf_.data() + pos_, '\n', end_ - pos_);
         if (nl) {
            std::size_t const at = static_cast<char const*>(nl) - buf_.data();
            line = std::string_view(buf_.data() + pos_, at - pos_);
            pos_ = at + 1;
            return true;
         }
         if (eof_) {
            if (pos_ == end_) return false;
            line = std::string_view(buf_.data() + pos_, end_ - pos_);
            pos_ = end_;
            return true;
         }
         // Keep the partial line, then fill the rest of the buffer (growing it for a very long line).
         std::memmove(buf_.data(), buf_.data() + pos_, end_ - pos_);
         end_ -= pos_;
         pos_ = 0;
         if (end_ == buf_.size()) buf_.resize(buf_.size() * 2);
         std::size_t got = std::fread(buf_.data() + end_, 1, buf_.size() - end_, f_);
         end_ += got;
         if (got == 0) eof_ = true;
      }
   }

  private:
   FILE* f_ = nullptr;
   bool piped_ = false;
   std::vector<char> buf_ = std::vector<char>(1 << 20);
   std::size_t pos_ = 0, end_ = 0;
   bool eof_ = false;
};

std::string_view trim(std::string_view s) {
   while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
   while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
   return s;
}

// "PREFIX NEXTHOP", or nothing for a blank or comment line; throws RangeException with the reason.
bool parseLine(std::string_view line, VelL3V2::Route* out) {
   if (auto hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
   line = trim(line);
   if (line.empty()) return false;
   auto gap = line.find_first_of(" \t");
   if (gap == std::string_view::npos) Zat::throwRangeException("expected 'PREFIX NEXTHOP'");
   std::string_view dest = line.substr(0, gap), via = trim(line.substr(gap));
   if (via.find_first_of(" \t") != std::string_view::npos) Zat::throwRangeException("text after the next hop");
   Ipkit::IpGenPrefix prefix(dest);
   if (prefix.family() == Ipkit::ipFamilyNone) Zat::throwRangeException("empty prefix");
   Ipkit::IpGenAddr hop(via);
   *out = VelL3V2::Route(prefix, hop);
   return true;
}

// A prefix, or an address taken as a full-length prefix.
Ipkit::IpGenPrefix lookupKey(std::string const& text) {
   if (text.find('/') != std::string::npos) return Ipkit::IpGenPrefix(text);
   Ipkit::IpGenAddr a(text);
   return Ipkit::IpGenPrefix(a, a.isV4() ? 32 : 128);
}

}  // namespace

int run(int argc, char** argv);

// A full table is a million small nodes, and at that size page faults and TLB misses take about a third
// of the run. glibc's allocator backs its heap with transparent huge pages when asked, but reads that
// setting only at start-up: the tool restarts itself once with it. If that fails it simply goes on.
void restartWithHugePages(char** argv) {
   if (std::getenv("VELROUTE_RESTARTED")) return;
   std::string tunables = "glibc.malloc.hugetlb=1";
   if (char const* old = std::getenv("GLIBC_TUNABLES")) tunables = std::string(old) + ":" + tunables;
   setenv("GLIBC_TUNABLES", tunables.c_str(), 1);
   setenv("VELROUTE_RESTARTED", "1", 1);
   execv("/proc/self/exe", argv);
}

int main(int argc, char** argv) {
   restartWithHugePages(argv);
   int rc = run(argc, argv);
   // A full table is a million nodes: the process ends without freeing them one by one.
   std::fflush(stdout);
   std::cout.flush();
   std::_Exit(rc);
}

int run(int argc, char** argv) {
   Options opt = parseArgs(argc, argv);
   auto table = VelL3V2::routeTableFactory("velroute");
   std::size_t lines = 0, routes = 0;
   auto t0 = Clock::now();
   try {
      Input in(opt.file);
      std::string_view line;
      VelL3V2::Route r;
      while (in.next(line)) {
         ++lines;
         try {
            if (!parseLine(line, &r)) continue;
         } catch (Zat::RangeException const& e) {
            std::cerr << "velroute: line " << lines << ": " << e.what() << "\n";
            return 2;
         }
         table->addRoute(r);
         ++routes;
      }
   } catch (std::runtime_error const& e) {
      std::cerr << "velroute: " << e.what() << "\n";
      return 2;
   }
   double const loadSeconds = secondsSince(t0);
   auto t1 = Clock::now();
   table->recomputeSummaryRoutes();
   double const summarySeconds = secondsSince(t1);

   if (opt.lookup) {
      for (auto const& p : opt.prefixes) {
         try {
            Ipkit::IpGenAddr hop = table->lookup(lookupKey(p));
            std::cout << p << ' ' << (hop.family() == Ipkit::ipFamilyNone ? "-" : hop.stringValue().str()) << '\n';
         } catch (Zat::RangeException const& e) {
            std::cerr << "velroute: --lookup " << p << ": " << e.what() << "\n";
            return 2;
         }
      }
      return 0;
   }
   if (opt.stats) {
      std::cout << "lines " << lines << "\nroutes read " << routes << "\ntable routes " << table->routeSize()
                << "\ndefault routes " << table->defaultRouteCollection().size() << "\nsummary routes "
                << table->summaryRouteSize() << "\nload seconds " << loadSeconds << "\nsummary seconds "
                << summarySeconds << "\n";
      return 0;
   }
   std::vector<VelL3V2::Route> sorted(table->summaryRouteCollection().begin(), table->summaryRouteCollection().end());
   std::sort(sorted.begin(), sorted.end());
   std::string out;
   for (auto const& s : sorted) {
      out += s.destination().stringValue().view();
      out += ' ';
      out += s.via().stringValue().view();
      out += '\n';
      if (out.size() > (1 << 16)) {
         std::fwrite(out.data(), 1, out.size(), stdout);
         out.clear();
      }
   }
   std::fwrite(out.data(), 1, out.size(), stdout);
   return 0;
}
