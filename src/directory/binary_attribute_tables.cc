#include "directory/binary_attribute_tables.h"

#include <set>
#include <string_view>

#include "support/output.h"
#include "support/text_case.h"

namespace talvex {
namespace {

constexpr int kParameterDebugLevel = 5;

// The names of each kind, ";"-separated. No name is in two lists.
constexpr std::string_view kSidNames =
    "tokenGroups;tokenGroupsGlobalAndUniversal;tokenGroupsNoGCAcceptable;"
    "securityIdentifier;msExchMasterAccountSid;msExchPreviousAccountSid;"
    "sIDHistory;mS-DS-CreatorSID;syncWithSID;msDS-QuotaTrustee;objectSid;"
    "msExchProcessedSids";

constexpr std::string_view kSecurityDescriptorNames =
    "fRSRootSecurity;msExchLogonACL;msExchMailboxSecurityDescriptor;"
    "msExchPFDefaultAdminACL;msExchSubmitRelaySD;nTSecurityDescriptor;"
    "pKIEnrollmentAccess";

constexpr std::string_view kGuidNames =
    "attributeSecurityGUID;categoryId;controlAccessRights;currMachineId;"
    "fRSReplicaSetGUID;fRSVersionGUID;implementedCategories;"
    "msExchMailboxGuid;mSMQDigests;mSMQOwnerID;mSMQQMID;mSMQQueueType;"
    "mSMQSites;netbootGUID;objectGUID;pKTGuid;requiredCategories;"
    "schemaIDGUID;siteGUID";

constexpr std::string_view kBinaryNames =
    "activationSchedule;addressEntryDisplayTable;"
    "addressEntryDisplayTableMSDOS;addressSyntax;assocNTAccount;"
    "attributeCertificate;attributeCertificateAttribute;audio;"
    "auditingPolicy;authorityRevocationList;authorizedPassword;"
    "birthLocation;businessRoles;cACertificate;certificateChainV3;"
    "certificateRevocationList;certificateRevocationListV1;"
    "certificateRevocationListV3;compromisedKeyList;connectionListFilter;"
    "controlMsgFolderID;controlMsgRules;cRLPartitionedRevocationList;"
    "crossCertificateCRL;crossCertificatePair;currentLocation;"
    "currentValue;dBCSPwd;delivEITs;delivExtContTypes;"
    "deltaRevocationList;dhcpClasses;dhcpOptions;dhcpProperties;"
    "dLMemberRule;dNSProperty;dnsRecord;domainWidePolicy;dSASignature;"
    "eFSPolicy;extensionData;fileVersion;foreignIdentifier;formData;"
    "fRSExtensions;gatewayRoutingTree;groupMembershipSAM;helpData16;"
    "helpData32;hTTPPubPF;invocationId;ipsecData;jpegPhoto;kCCStatus;"
    "lDAPIPDenyList;linkTrackSecret;lmPwdHistory;logonHours;"
    "machineWidePolicy;marshalledInterface;maximumObjectID;meetingBlob;"
    "moniker;monitoringAvailabilityWindow;monitoringEscalationProcedure;"
    "moveTreeState;mS-DS-ConsistencyGuid;msCOM-ObjectId;"
    "msDRM-IdentityCertificate;msDS-ByteArray;msDS-Cached-Membership;"
    "msDS-ExecuteScriptPassword;msDS-RetiredReplNCSignatures;"
    "msDs-Schema-Extensions;msDS-Site-Affinity;msDS-TrustForestTrustInfo;"
    "msExchAliasGenFormat;msExchAliasGenType;msExchAliasGenUniqueness;"
    "msExchCatalog;msExchccMailConnectAsPassword;msExchccMailPassword;"
    "msExchCIRebuildSchedule;msExchCIUpdateSchedule;"
    "msExchDirsyncSchedule;msExchEncryptedAnonymousPassword;"
    "msExchEncryptedPassword;msExchEncryptedPassword2;"
    "msExchGWisePassword;msExchIMACL;msExchIMHostName;msExchIMProxy;"
    "msExchInstalledComponents;msExchIPSecurity;"
    "msExchMailboxManagerActivationSchedule;msExchMaintenanceSchedule;"
    "msExchMimeTypes;msExchNotesPassword;msExchOABFolder;"
    "msExchPolicyOptionList;msExchProxyGenServer;"
    "msExchReplicationSchedule;msExchRoleLocalizedNames;msExchRoleRights;"
    "msExchRoutingOversizedSchedule;msExchRoutingTriggeredSchedule;"
    "msExchSecurityPassword;msExchServer1AuthenticationPassword;"
    "msExchServer2AuthenticationPassword;msExchServerPublicKey;"
    "msExchSmtpConnectionRulesPriority;msExchSMTPGlobalIPAcceptList;"
    "msExchSMTPGlobalIPDenyList;msExchSmtpRelayIpList;msExchTUIPassword;"
    "msExchUnmergedAttsPt;msieee80211-Data;msiScript;mSMQDigestsMig;"
    "mSMQEncryptKey;mSMQSignCertificates;mSMQSignCertificatesMig;"
    "mSMQSignKey;mSMQSiteID;mSMQUserSid;msTAPI-ConferenceBlob;"
    "msWMI-TargetObject;nAddress;nTGroupMembers;ntPwdHistory;"
    "offLineABSchedule;oMObjectClass;oMTGuid;oMTIndxGuid;"
    "originalDisplayTable;originalDisplayTableMSDOS;"
    "parentCACertificateChain;parentGUID;partialAttributeDeletionList;"
    "partialAttributeSet;pekList;pendingCACertificates;"
    "perMsgDialogDisplayTable;perRecipDialogDisplayTable;photo;"
    "pKIExpirationPeriod;pKIKeyUsage;pKIOverlapPeriod;pKT;prefixMap;"
    "previousCACertificates;priorValue;privateKey;productCode;pSelector;"
    "pSelectorInbound;publicKeyPolicy;quotaNotificationSchedule;"
    "registeredAddress;replicationSignature;replPropertyMetaData;"
    "replUpToDateVector;repsFrom;repsTo;retiredReplDSASignatures;"
    "rootNewsgroupsFolderID;schedule;schemaInfo;searchGuide;"
    "securityPolicy;securityProtocol;serviceClassID;serviceClassInfo;"
    "serviceInstanceVersion;siteFolderGUID;sSelector;sSelectorInbound;"
    "supplementalCredentials;supportedAlgorithms;"
    "supportedApplicationContext;teletexTerminalIdentifier;telexNumber;"
    "terminalServer;thumbnailLogo;thumbnailPhoto;trustAuthIncoming;"
    "trustAuthOutgoing;tSelector;unicodePwd;unmergedAtts;"
    "upgradeProductCode;userCert;userCertificate;userPassword;userPKCS12;"
    "userSMIMECertificate;volTableGUID;volTableIdxGUID;winsockAddresses;"
    "x25CallUserDataIncoming;x25CallUserDataOutgoing;"
    "x25FacilitiesDataIncoming;x25FacilitiesDataOutgoing;"
    "x25LeasedLinePort;x400AttachmentType;x500uniqueIdentifier";

struct Tables {
  bool filled = false;
  std::set<std::string, LessIgnoringAsciiCase> sid;
  std::set<std::string, LessIgnoringAsciiCase> securityDescriptor;
  std::set<std::string, LessIgnoringAsciiCase> guid;
  std::set<std::string, LessIgnoringAsciiCase> binary;
};

Tables& BinaryTables() {
  static Tables tables;
  return tables;
}

void Split(std::string_view names, std::set<std::string, LessIgnoringAsciiCase>* table) {
  while (!names.empty()) {
    std::size_t end = names.find(';');
    std::string_view name = names.substr(0, end);
    if (!name.empty()) table->emplace(name);
    if (end == std::string_view::npos) break;
    names.remove_prefix(end + 1);
  }
}

}  // namespace

void FillBinaryAttributeTables() {
  bool debug = Output().debugLevel >= kParameterDebugLevel;
  if (debug) PrintDebugLine("Loading Static BIN Tables...");
  Tables& tables = BinaryTables();
  if (!tables.filled) {
    Split(kSidNames, &tables.sid);
    Split(kSecurityDescriptorNames, &tables.securityDescriptor);
    Split(kGuidNames, &tables.guid);
    Split(kBinaryNames, &tables.binary);
    tables.filled = true;
  }
  if (debug) PrintDebugLine("Static BIN Tables Loaded.");
}

BinaryKind BinaryKindOf(const std::string& attribute) {
  const Tables& tables = BinaryTables();
  // Security descriptors first, then SIDs, GUIDs and plain binary.
  if (tables.securityDescriptor.count(attribute))
    return BinaryKind::kSecurityDescriptor;
  if (tables.sid.count(attribute)) return BinaryKind::kSid;
  if (tables.guid.count(attribute)) return BinaryKind::kGuid;
  if (tables.binary.count(attribute)) return BinaryKind::kBinary;
  return BinaryKind::kText;
}

}  // namespace talvex
