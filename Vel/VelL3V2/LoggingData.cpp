// VelLoggingData: what was reported per host status and per policy, so that the success or recovery
// message of a host or policy goes out once, when the host or the policy's last pending flow is gone.
//
// The logs hold the status objects by counted pointer and key them by identity: the agent reports the
// same status object again and again as its switches answer, and two statuses with equal contents are
// still two flows or two hosts.
#include "Vel/VelL3V2LocalTypes.h"
#include "VelL3V2Shared/NameEncoder.h"

namespace VelL3V2 {

namespace {

// Traces " return" at level 7 when the operation is left, whichever way.
struct ReturnTrace {
   char const* function;
   ~ReturnTrace() {
      if (velL3V2Trace.enabled(7)) {
         Zat::TraceHelper helper(velL3V2Trace, 7, __FILE__, __LINE__, function);
         helper.stream() << " return";
      }
   }
};

Zat::String addressText(VelIpStatus const& status) {
   return status.ipAddr().stringValue();
}

}  // namespace

void VelLoggingData::addIpStatus(Zat::Ptr<VelIpStatus> const& ipStatus, Zat::String const& deviceName,
                                 Zat::String const& netVrfName, Zat::String const& switchId) {
   if (!ipStatus) return;
   ZAT_TRACE(velL3V2Trace, 8,
             "VelLoggingData::addIpStatus(ipStatus, deviceName, netVrfName, switchId) host: "
                 << addressText(*ipStatus));
   ReturnTrace const leaving{"addIpStatus"};
   Zat::Ptr<VelIpStatusLog> log = ipStatusLogs(ipStatus);
   if (!log) {
      log = ipStatusLogsIs(ipStatus);
      log->deviceNameIs(deviceName);
      log->netVrfNameIs(netVrfName);
      log->addedTimeIs(Zat::System::currentTime());
   }
   log->switchIdIs(switchId);
}

void VelLoggingData::removeIpStatus(Zat::Ptr<VelIpStatus> const& ipStatus) {
   if (!ipStatus) return;
   ZAT_TRACE(velL3V2Trace, 8, "VelLoggingData::removeIpStatus(ipStatus) host: " << addressText(*ipStatus));
   ReturnTrace const leaving{"removeIpStatus"};
   Zat::Ptr<VelIpStatusLog> log = ipStatusLogs(ipStatus);
   if (!log) return;
   if (log->messageWasLogged()) {
      Zat::logEvent(KRO_VEL_HOST_RECOVER, addressText(*ipStatus), decodeDeviceName(log->deviceName()),
                    log->netVrfName());
   }
   ipStatusLogsDel(ipStatus);
}

void VelLoggingData::addFlowStatus(Zat::Ptr<VelFlowStatus> const& flowStatus, Zat::String const& policyName,
                                   Zat::String const& deviceName, Zat::String const& netVrfName) {
   if (!flowStatus) return;
   ZAT_TRACE(velL3V2Trace, 8,
             "VelLoggingData::addFlowStatus(flowStatus, policyName, deviceName, netVrfName) flow : "
                 << flowStatus->name() << " Policy: " << policyName << " Device: " << deviceName
                 << " NetVrf: " << netVrfName);
   ReturnTrace const leaving{"addFlowStatus"};
   VelPolicyId const key(deviceName, netVrfName, policyName);
   Zat::Ptr<VelPolicyLog> policyLog = policyLogs(key);
   if (!policyLog) {
      policyLog = policyLogsIs(key);
      policyLog->addedTimeIs(Zat::System::currentTime());
   }
   Zat::Ptr<VelFlowStatusLog> flowLog = policyLog->flowStatusLogsIs(flowStatus);
   flowLog->switchIdDelAll();
   for (Ipkit::SystemId const& id : flowStatus->pendingSwitchCollection()) {
      Zat::String const text = id.stringValue();
      ZAT_TRACE(velL3V2Trace, 8, " add pending switch: " << text);
      flowLog->switchIdIs(text);
   }
}

void VelLoggingData::removeFlowStatus(Zat::Ptr<VelFlowStatus> const& flowStatus,
                                      Zat::String const& policyName, Zat::String const& deviceName,
                                      Zat::String const& netVrfName, bool logSuccess) {
   if (!flowStatus) return;
   ZAT_TRACE(velL3V2Trace, 8,
             "VelLoggingData::removeFlowStatus(flowStatus, policyName, deviceName, netVrfName, logSuccess) "
             "flow : "
                 << flowStatus->name() << " Policy: " << policyName << " Device: " << deviceName
                 << " NetVrf: " << netVrfName << " logSuccess: " << logSuccess);
   ReturnTrace const leaving{"removeFlowStatus"};
   VelPolicyId const key(deviceName, netVrfName, policyName);
   Zat::Ptr<VelPolicyLog> policyLog = policyLogs(key);
   if (!policyLog) {
      ZAT_TRACE(velL3V2Trace, 4, "No policyLog, return");
      return;
   }
   // A flow never reported under this policy leaves the policy as it is, even with no flow left.
   if (!policyLog->flowStatusLogsDel(flowStatus)) return;
   if (policyLog->flowStatusLogsSize() != 0) return;
   if (policyLog->messageWasLogged()) {
      Zat::logEvent(KRO_VEL_RULE_RECOVER, policyName, decodeDeviceName(deviceName), netVrfName);
   } else if (logSuccess) {
      Zat::logEvent(KRO_VEL_RULE_PROGRAMMED, policyName, decodeDeviceName(deviceName), netVrfName);
   }
   policyLogsDel(key);
}

Zat::String VelLoggingData::decodeDeviceName(Zat::String const& name) {
   VelL3V2Shared::NameSet const names = VelL3V2Shared::NameEncoder::decode(name);
   Zat::String const* source = names.name(0);
   Zat::String const* device = names.name(1);
   Zat::String out = source ? *source : Zat::String();
   out += "/";
   if (device) out += device->view();
   return out;
}

}  // namespace VelL3V2
