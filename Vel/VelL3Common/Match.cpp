// Match::stringValue: the operator-facing text of a flow match.
//
// Only the fields that are matched on (those that differ from their default) appear, each as a label,
// the value and one blank. The order groups each side's group with its prefix, which reads better than
// the declaration order.
#include <sstream>

#include "Vel/VelL3CommonLocalTypes.h"

namespace VelL3Common {

Zat::String Match::stringValue() const {
   std::ostringstream os;
   if (!srcGroup_.empty()) os << "Src Group: " << srcGroup_ << ' ';
   if (srcIp_ != Ipkit::IpGenPrefix()) os << "Src IP: " << srcIp_.stringValue() << ' ';
   if (!dstGroup_.empty()) os << "Dst Group: " << dstGroup_ << ' ';
   if (dstIp_ != Ipkit::IpGenPrefix()) os << "Dst IP: " << dstIp_.stringValue() << ' ';
   if (ipProto_ != 0) os << "IP proto: " << unsigned(ipProto_) << ' ';
   if (srcL4_ != 0) os << "Src L4: " << unsigned(srcL4_) << ' ';
   if (dstL4_ != 0) os << "Dst L4: " << unsigned(dstL4_) << ' ';
   if (etherType_ != 0) os << "EtherType: " << etherType_ << ' ';
   return Zat::String(os.str());
}

}  // namespace VelL3Common
