// A forest of fake directories, a fake locator and the run's connection
// cache, wired together as the executor wires the real ones.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "directory/connection_cache.h"
#include "directory/directory_access.h"
#include "fakes/fake_dc_locator.h"
#include "fakes/fake_ldap_client.h"
#include "support/output.h"

namespace talvex {

inline constexpr char kCorpDn[] = "DC=corp,DC=example,DC=com";
inline constexpr char kCorpDc[] = "dc1.corp.example.com";
inline constexpr char kChildDn[] = "DC=child,DC=corp,DC=example,DC=com";
inline constexpr char kChildDc[] = "dc1.child.corp.example.com";
inline constexpr char kAlphaDn[] = "DC=alpha,DC=org";
inline constexpr char kAlphaDc[] = "dca.alpha.org";

class RetrievalTest : public ::testing::Test {
 protected:
  RetrievalTest() {
    access_.client = &client_;
    access_.locator = &locator_;
    access_.cache = &cache_;
    saved_ = Output();
  }
  ~RetrievalTest() override { Output() = saved_; }

  // A domain served by its controller, which the locator knows.
  FakeDirectory& AddDomain(const std::string& host, const std::string& dn,
                           const std::string& dnsName) {
    FakeDirectory& directory = client_.AddDomain(host, dn);
    locator_.AddController(dnsName, {.name = host, .site = "HQ"});
    return directory;
  }

  // The run's main connection, entered in the cache as the executor does.
  LdapConnection& MainConnection(const std::string& host) {
    LdapConnection* cached = cache_.Find(host);
    if (cached != nullptr) return *cached;
    return *cache_.Enter(host, client_.Connect(host));
  }

  FakeLdapClient client_;
  FakeDcLocator locator_;
  ConnectionCache cache_;
  DirectoryAccess access_;
  OutputSettings saved_;
};

}  // namespace talvex
