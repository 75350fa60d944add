// VelL3V2Shared::NameEncoder: a NameSet as one colon-separated byte string, and back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <utility>

#include "VelL3V2Shared/NameSet.h"
#include "Zat/String.h"

namespace VelL3V2Shared {

// Names are joined with ':' in index order; '\' and ':' inside a name are preceded by a '\'. The indices
// themselves are not written, so decoding renumbers the names 0, 1, 2, ... Both directions accept any
// input and never fail: this runs for every device key, so neither validates nor allocates per byte.
class NameEncoder {
 public:
   NameEncoder() = delete;

   static constexpr char separator = ':';
   static constexpr char escape = '\\';

   static Zat::String encode(NameSet const& names) {
      // One pass to size the result exactly, so the second one never reallocates.
      std::size_t length = 0;
      for (auto const& [index, name] : names) {
         length += name.size() + 1;
         for (char c : name.view()) {
            if (c == escape || c == separator) ++length;
         }
      }
      Zat::String result;
      result.reserve(length);
      for (auto const& [index, name] : names) {
         std::string_view rest = name.view();
         // Copy runs of ordinary bytes whole; only the special bytes are handled one at a time.
         for (std::size_t special; (special = rest.find_first_of(specials)) != std::string_view::npos;) {
            result.append(rest.substr(0, special));
            result.append(escape);
            result.append(rest[special]);
            rest.remove_prefix(special + 1);
         }
         result.append(rest);
         result.append(separator);
      }
      // The separator follows every name above, but belongs only between them. An empty lone name
      // therefore vanishes, and the result cannot be told apart from that of an empty set.
      if (!result.empty()) result.pop_back();
      return result;
   }

   static NameSet decode(Zat::String const& encoded) {
      NameSet names;
      if (encoded.empty()) return names;
      std::uint32_t index = 0;
      Zat::String name;
      name.reserve(100);  // Most names fit; longer ones simply grow.
      std::string_view const text = encoded.view();
      std::size_t const size = text.size();
      std::size_t i = 0;
      while (i < size) {
         std::size_t const special = text.find_first_of(specials, i);
         if (special == std::string_view::npos) {
            name.append(text.substr(i));
            break;
         }
         name.append(text.substr(i, special - i));
         if (text[special] == escape) {
            // A trailing lone escape has nothing to protect and is dropped.
            if (special + 1 == size) break;
            name.append(text[special + 1]);
            i = special + 2;
         } else {
            names.nameIs(index, name);
            name.clear();
            ++index;
            i = special + 1;
         }
      }
      names.nameIs(index, std::move(name));
      return names;
   }

 private:
   static constexpr std::string_view specials{"\\:"};
};

}  // namespace VelL3V2Shared
