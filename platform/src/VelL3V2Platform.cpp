// Readable text of the second-generation platform values, as operators see it in status listings, and
// the hooks by which the status entities in the switches' directories report changes of their shape.
#include <uuid/uuid.h>

#include <sstream>

#include "Platform/KroGenIdOrder.h"
#include "Platform/VelL3V2Platform.h"
#include "Zat/Entity.h"

namespace VelL3::V2 {

Zat::String KroGenId::stringValue() const {
   return Zat::String(std::to_string(high_) + ":" + std::to_string(low_));
}

Zat::String KroGenId::uuidText() const {
   std::array<std::uint8_t, 16> const bytes = kroGenIdBytes(*this);
   char text[37];
   uuid_unparse(bytes.data(), text);
   return Zat::String(text);
}

Zat::String FlowOrder::stringValue() const {
   return Zat::String(" Preference: " + std::to_string(preference_) +
                      " Priority: " + std::to_string(priority_));
}

Zat::String KroTimestamp::stringValue() const {
   // Twenty significant digits keep a seconds-since-epoch time exact to well below a microsecond.
   std::ostringstream os;
   os.precision(20);
   os << timestamp_.value();
   return Zat::String(" GenId: ") + genId_.stringValue().view() + " Timestamp: " + os.str();
}

// A member entering or leaving any of these collections moves a switch's result within its directory.
void FlowSourceStatus::flowOnChange(FlowKey const&, bool) {
   Zat::Dir::treeChanged();
}
void FragmentStatus::flowSourceOnChange(Zat::String const&, bool) {
   Zat::Dir::treeChanged();
}
void MemberSetStatus::memberOnChange(MemberKey const&, bool) {
   Zat::Dir::treeChanged();
}
void GroupMemberStatus::memberSetOnChange(Ipkit::Vni, bool) {
   Zat::Dir::treeChanged();
}
void GroupSetStatus::groupOnChange(GroupName const&, bool) {
   Zat::Dir::treeChanged();
}

}  // namespace VelL3::V2
