// Builds the common match values, renders each as text and parses the text back.
//
//   values-example                      show a few values and their round trips
//   values-example TYPE 'TEXT'          parse TEXT as TYPE (IpRange, L4App, L4AppRange, Match) and show it
//
// Exit status: 0 when every text read back equal, 1 when one did not, 2 on text that does not parse.
#include <iostream>
#include <string>

#include "Vel/VelL3CommonLocalTypes.h"

using namespace VelL3Common;

namespace {

template <class T>
bool roundTrip(T const& v) {
   Zat::String text = valueToStrep(v);
   T back = Zat::strepToValue<T>(text.view());
   bool same = back == v;
   std::cout << text << "\n   hash " << v.hash(0) << (same ? ", reads back equal" : ", READS BACK DIFFERENT")
             << "\n";
   return same;
}

template <class T>
int show(std::string const& text) {
   T v = Zat::strepToValue<T>(text);
   std::cout << valueToStrep(v) << "\n";
   if constexpr (std::is_same_v<T, Match>) std::cout << "stringValue: '" << v.stringValue() << "'\n";
   return 0;
}

}  // namespace

int main(int argc, char** argv) {
   try {
      if (argc == 3) {
         std::string type = argv[1], text = argv[2];
         if (type == "IpRange") return show<IpRange>(text);
         if (type == "L4App") return show<L4App>(text);
         if (type == "L4AppRange") return show<L4AppRange>(text);
         if (type == "Match") return show<Match>(text);
         std::cerr << "unknown type " << type << "\n";
         return 2;
      }
      if (argc != 1) {
         std::cerr << "usage: " << argv[0] << " [TYPE TEXT]\n";
         return 2;
      }
      bool ok = true;
      ok &= roundTrip(IpRange(Ipkit::IpGenAddr("10.0.0.1"), Ipkit::IpGenAddr("10.0.0.254")));
      ok &= roundTrip(L4App(6, 443));
      ok &= roundTrip(L4AppRange(17, 5000, 5100));
      Match m;
      m.srcGroupIs("web");
      m.dstIpIs(Ipkit::IpGenPrefix("2001:db8::/32"));
      m.ipProtoIs(6);
      m.dstL4Is(443);
      ok &= roundTrip(m);
      std::cout << "stringValue: '" << m.stringValue() << "'\n";
      return ok ? 0 : 1;
   } catch (Zat::RangeException const& e) {
      std::cerr << "bad text: " << e.what() << "\n";
      return 2;
   }
}
