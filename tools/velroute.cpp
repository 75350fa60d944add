// velroute: summarises a routing table the way a firewall's route table does, for operators and for
// tests on large tables. `velroute --help` tells how to use it.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "RouteFile.h"
#include "Vel/VelL3V2LocalTypes.h"

namespace {

char const kHelp[] = R"(usage: velroute [--stats | --lookup P [--lookup P]...] [--] [FILE]

Summarises a routing table the way a firewall's route table does.

Input: FILE, or standard input when FILE is "-" or not given. One route a line, "PREFIX NEXTHOP", for
example "10.0.0.0/8 192.0.2.1" or "2001:db8::/32 2001:db8::1"; blank lines and "#" comments are
ignored; a line may hold at most 4096 bytes. Gzip data is read uncompressed, and a FILE whose name ends
in ".gz" must be gzip data.

Output: the summary routes, one "PREFIX NEXTHOP" a line in ascending order: for every destination that
no other destination of the table contains, default routes (0.0.0.0/0, ::/0) aside, one route to it (of
several, the one with the smallest next hop). Default routes are never summary routes.

Options (in any order; "--" ends them, for a FILE whose name starts with "-"):
  --lookup P   print "P NEXTHOP" for the prefix or address P instead of the summary, "-" when no route
               contains P; give --lookup once for each P. The answer is the first route in route
               order (ascending destination, then next hop) whose destination contains P, which is
               the least specific such route: a default route answers every lookup of its family.
               This is not the longest-prefix match that "ip route get" makes.
  --stats      print counts and timings instead of the summary
  --help       print this text

Exit status: 0 done; 1 bad command line; 2 the input cannot be read or has a bad line (the message
names the line); 3 the output cannot be written, or another failure such as running out of memory.
Every failure prints one line on standard error; an input that fails prints nothing on standard output.
)";

enum Status { kDone = 0, kBadCommandLine = 1, kBadInput = 2, kFailed = 3 };

// Ends the run with a status and a one-line message.
struct Failure {
   int status;
   std::string message;
};

[[noreturn]] void badCommandLine(std::string const& why) {
   throw Failure{kBadCommandLine, why + " (velroute --help tells more)"};
}

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t0) {
   return std::chrono::duration<double>(Clock::now() - t0).count();
}

struct Lookup {
   std::string text;
   Ipkit::IpGenPrefix prefix;
};

struct Options {
   std::string file;
   bool haveFile = false;
   bool stats = false;
   bool help = false;
   std::vector<Lookup> lookups;
};

// A prefix, or an address taken as a full-length prefix.
Lookup lookupOf(std::string_view text) {
   Lookup l{std::string(text), {}};
   std::string why;
   if (text.find('/') != std::string_view::npos) {
      if (text.size() <= 64) why = Ipkit::IpGenPrefix::parse(text, &l.prefix);
      if (text.size() > 64 || !why.empty()) {
         badCommandLine("--lookup " + routefile::brief(text) + ": not a prefix" +
                        (why.empty() ? "" : ": " + why));
      }
   } else {
      Ipkit::IpGenAddr a;
      if (text.empty() || !Ipkit::IpGenAddr::parse(text, &a))
         badCommandLine("--lookup " + routefile::brief(text) + ": not a prefix or address");
      l.prefix = Ipkit::IpGenPrefix(a, a.isV4() ? 32 : 128);
   }
   return l;
}

Options parseArgs(int argc, char** argv) {
   Options o;
   bool optionsEnded = false;
   for (int i = 1; i < argc; ++i) {
      std::string_view const a = argv[i];
      if (optionsEnded || a == "-" || !a.starts_with("-")) {
         if (o.haveFile) {
            badCommandLine("one input file at most, and " + routefile::brief(a) +
                           " is another (each lookup needs its own --lookup)");
         }
         o.file = a;
         o.haveFile = true;
      } else if (a == "--") {
         optionsEnded = true;
      } else if (a == "--help" || a == "-h") {
         o.help = true;
         return o;
      } else if (a == "--stats") {
         o.stats = true;
      } else if (a == "--lookup") {
         if (i + 1 == argc) badCommandLine("--lookup needs a prefix or address");
         o.lookups.push_back(lookupOf(argv[++i]));
      } else if (a.starts_with("--lookup=")) {
         o.lookups.push_back(lookupOf(a.substr(9)));
      } else {
         badCommandLine("unknown option " + routefile::brief(a));
      }
   }
   if (!o.lookups.empty() && o.stats) badCommandLine("--lookup and --stats do not go together");
   if (!o.haveFile && isatty(0)) badCommandLine("no FILE given, and standard input is a terminal");
   return o;
}

// Standard output, checked: a write that fails (a full disk, a closed descriptor) ends the run.
void put(std::string_view text) {
   if (std::fwrite(text.data(), 1, text.size(), stdout) != text.size())
      throw Failure{kFailed, std::string("standard output: ") + std::strerror(errno)};
}

void finishOutput() {
   errno = 0;
   if (std::fflush(stdout) != 0 || std::ferror(stdout) || std::fclose(stdout) != 0)
      throw Failure{kFailed, std::string("standard output: ") + std::strerror(errno ? errno : EIO)};
}

int run(int argc, char** argv) {
   Options const opt = parseArgs(argc, argv);
   if (opt.help) {
      put(kHelp);
      return kDone;
   }
   auto table = VelL3V2::routeTableFactory("velroute");
   auto t0 = Clock::now();
   routefile::RouteFile in(opt.file);
   std::size_t routes = 0;
   Ipkit::IpGenPrefix destination;
   Ipkit::IpGenAddr via;
   while (in.next(destination, via)) {
      table->addRoute(VelL3V2::Route(destination, via));
      ++routes;
   }
   double const loadSeconds = secondsSince(t0);
   auto t1 = Clock::now();
   table->recomputeSummaryRoutes();
   double const summarySeconds = secondsSince(t1);

   std::string out;
   if (!opt.lookups.empty()) {
      for (Lookup const& l : opt.lookups) {
         Ipkit::IpGenAddr const hop = table->lookup(l.prefix);
         out += l.text + ' ' + (hop.family() == Ipkit::ipFamilyNone ? "-" : hop.stringValue().str()) + '\n';
      }
   } else if (opt.stats) {
      out = "lines " + std::to_string(in.line()) + "\nroutes read " + std::to_string(routes) +
            "\ntable routes " + std::to_string(table->routeSize()) + "\ndefault routes " +
            std::to_string(table->defaultRouteCollection().size()) + "\nsummary routes " +
            std::to_string(table->summaryRouteSize()) + "\nload seconds " + std::to_string(loadSeconds) +
            "\nsummary seconds " + std::to_string(summarySeconds) + "\n";
   } else {
      std::vector<VelL3V2::Route> sorted(table->summaryRouteCollection().begin(),
                                         table->summaryRouteCollection().end());
      std::sort(sorted.begin(), sorted.end());
      for (auto const& s : sorted) {
         out += s.destination().stringValue().view();
         out += ' ';
         out += s.via().stringValue().view();
         out += '\n';
         if (out.size() > (1 << 16)) {
            put(out);
            out.clear();
         }
      }
   }
   put(out);
   return kDone;
}

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

// One line, whatever the text of an unforeseen exception holds.
std::string oneLine(std::string_view text) {
   text = text.substr(0, text.find('\n'));
   return text.size() <= 200 ? std::string(text) : routefile::brief(text, 200);
}

}  // namespace

int main(int argc, char** argv) {
   restartWithHugePages(argv);
   int status = kDone;
   std::string message;
   try {
      status = run(argc, argv);
      finishOutput();
   } catch (Failure const& f) {
      status = f.status;
      message = f.message;
   } catch (routefile::Error const& e) {
      status = kBadInput;
      message = e.what();
   } catch (std::bad_alloc const&) {
      status = kFailed;
      message = "out of memory";
   } catch (std::exception const& e) {
      status = kFailed;
      message = oneLine(e.what());
   } catch (...) {
      status = kFailed;
      message = "unexpected failure";
   }
   if (status != kDone) std::fprintf(stderr, "velroute: %s\n", message.c_str());
   // A full table is a million nodes: the process ends without freeing them one by one.
   std::_Exit(status);
}
