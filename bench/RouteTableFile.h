// Reading a routing table file of the shared data: one "PREFIX NEXTHOP" per line, gzip-compressed.
// Used by the route engine's benchmark and its long test; both skip when the data is not there.
#pragma once

#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "Vel/VelL3V2/RouteEngine.h"

namespace routefile {

// The shared data lives next to the repository: <repository>/../shared/data. Builds pass the directory
// as VEL_DATA_DIR.
inline std::string dataPath(std::string_view name) {
   return std::string(VEL_DATA_DIR) + "/" + std::string(name);
}

inline bool available(std::string const& path) {
   return std::filesystem::is_regular_file(path);
}

// Every line of the file as a route, in file order. Anything but "PREFIX NEXTHOP" raises runtime_error
// naming the file and line; nothing is returned then.
inline std::vector<VelL3V2::detail::RouteKey> load(std::string const& path) {
   if (path.find('\'') != std::string::npos) throw std::runtime_error("unusable path " + path);
   std::string const command = "gzip -dc '" + path + "'";
   // The whole text is read first, which keeps the parse loop tight; 40 MB is little next to the
   // tables built from it.
   FILE* pipe = popen(command.c_str(), "r");
   if (!pipe) throw std::runtime_error("cannot run " + command);
   std::string text;
   std::vector<char> buffer(1 << 20);
   for (std::size_t n; (n = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0;)
      text.append(buffer.data(), n);
   if (pclose(pipe) != 0) throw std::runtime_error(command + " failed");

   std::vector<VelL3V2::detail::RouteKey> routes;
   routes.reserve(text.size() / 24);
   std::size_t line = 0;
   for (std::size_t pos = 0; pos < text.size();) {
      std::size_t eol = text.find('\n', pos);
      if (eol == std::string::npos) eol = text.size();
      std::string_view const l(text.data() + pos, eol - pos);
      pos = eol + 1;
      ++line;
      std::size_t const space = l.find(' ');
      VelL3V2::detail::RouteKey r;
      // Empty text would read as "no family"; the file always names both.
      bool const good = space != std::string_view::npos && space != 0 && space + 1 < l.size() &&
                        Ipkit::IpGenPrefix::parse(l.substr(0, space), &r.destination).empty() &&
                        Ipkit::IpGenAddr::parse(l.substr(space + 1), &r.via);
      if (!good) {
         throw std::runtime_error(path + ":" + std::to_string(line) + ": not 'PREFIX NEXTHOP': '" +
                                  std::string(l) + "'");
      }
      routes.push_back(r);
   }
   return routes;
}

}  // namespace routefile
