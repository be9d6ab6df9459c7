// What the executor's preparation built, shared by every action.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "directory/connection_cache.h"
#include "directory/dc_locator.h"
#include "directory/directory_access.h"
#include "directory/ldap_client.h"
#include "directory/server_info.h"
#include "operations/run_config.h"
#include "policy/domain_list.h"
#include "policy/policy_list.h"

namespace talvex {

struct RunState {
  const RunConfig* config = nullptr;
  LdapClient* client = nullptr;
  DcLocator* locator = nullptr;
  ConnectionCache cache;
  DirectoryAccess access;  // points at client, locator and cache
  LdapConnection* mainConnection = nullptr;  // owned by the cache
  std::unique_ptr<LdapConnection> gcConnection;
  // Where the locators pointed the run ("Using host:", "Using GC:"): the
  // run's controller, every report names it; empty after a failed
  // domain-controller locate.
  std::string controllerSite;
  std::string controllerName;
  std::string gcSite;
  std::string gcName;
  ServerInfo serverInfo;
  std::string domainDn;  // -domain as a DN, else the controller's domain
  std::vector<std::string> domainList;
  DomainNameTable domainNames;
  PolicyList policies;
  // The exit code of a run that completed: 0, or kExitFindings after an
  // audit that found something.
  int exitCode = 0;
};

}  // namespace talvex
