// A notifiee that records every change it is told of, as "id" or "id:key".
#pragma once

#include <string>
#include <vector>

#include "Zat/PtrInterface.h"

struct Recorder : Zat::Notifiee {
   std::vector<std::string> seen;
   void onChange(Zat::PtrInterface const&, std::uint16_t attrId, Zat::KeyRef const& key) override {
      std::string line = std::to_string(attrId);
      if (!key.empty()) line.append(":").append(key.text().view());
      seen.push_back(std::move(line));
   }
   std::vector<std::string> take() { return std::exchange(seen, {}); }
};
