#include "directory/openldap/krb5_password_ticket.h"

#include <gtest/gtest.h>

#include "directory/ldap_client.h"

namespace talvex {
namespace {

TEST(Krb5PasswordTicketTest, ClientNameFollowsTheFormOfTheAccount) {
  // A NetBIOS domain is not a realm: the realm of the contacted domain is.
  Krb5ClientName flat = KerberosClientName("alice", "CORP", "CORP.EXAMPLE.COM");
  EXPECT_EQ(flat.text, "alice@CORP.EXAMPLE.COM");
  EXPECT_FALSE(flat.enterprise);
  EXPECT_EQ(flat.realm, "CORP.EXAMPLE.COM");

  Krb5ClientName plain = KerberosClientName("alice", "", "CORP.EXAMPLE.COM");
  EXPECT_EQ(plain.text, "alice@CORP.EXAMPLE.COM");

  // A DNS domain names its realm itself, whatever domain was contacted.
  Krb5ClientName dns =
      KerberosClientName("bob", "child.Corp.example.com", "CORP.EXAMPLE.COM");
  EXPECT_EQ(dns.text, "bob@CHILD.CORP.EXAMPLE.COM");
  EXPECT_EQ(dns.realm, "CHILD.CORP.EXAMPLE.COM");
  EXPECT_FALSE(dns.enterprise);
}

TEST(Krb5PasswordTicketTest, UserPrincipalNameIsAnEnterpriseName) {
  // The UPN suffix need not be a realm; the contacted domain's KDC resolves it.
  Krb5ClientName upn =
      KerberosClientName("alice@mail.example.org", "", "CORP.EXAMPLE.COM");
  EXPECT_EQ(upn.text, "alice@mail.example.org");
  EXPECT_TRUE(upn.enterprise);
  EXPECT_EQ(upn.realm, "CORP.EXAMPLE.COM");
}

TEST(Krb5PasswordTicketTest, AccountFaultsAreInvalidCredentials) {
  for (krb5_error_code code :
       {KRB5KDC_ERR_PREAUTH_FAILED, KRB5KRB_AP_ERR_BAD_INTEGRITY,
        KRB5KDC_ERR_C_PRINCIPAL_UNKNOWN, KRB5KDC_ERR_CLIENT_REVOKED,
        KRB5KDC_ERR_KEY_EXP}) {
    EXPECT_EQ(LdapCodeForKerberosError(code), ldap_result::kInvalidCredentials)
        << code;
  }
  for (krb5_error_code code :
       {KRB5_KDC_UNREACH, KRB5_REALM_CANT_RESOLVE, KRB5_CONFIG_NODEFREALM}) {
    EXPECT_EQ(LdapCodeForKerberosError(code), ldap_result::kLocalError) << code;
  }
}

}  // namespace
}  // namespace talvex
