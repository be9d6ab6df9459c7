"""The fake controller's names and addresses, read by the controller and by
the tests that start it.

The controller serves both addresses of its network namespace; the second
is the trap: nothing a sound client does should reach it, and everything
that does is in the log under that address.
"""

SUBNET_PREFIX = 24
DC_ADDRESS = "10.98.0.1"
TRAP_ADDRESS = "10.98.0.2"

DOMAIN = "fake.example"
DOMAIN_DN = "DC=fake,DC=example"
NETBIOS = "FAKE"
DC_HOST = "dc." + DOMAIN
# A name that resolves to the trap address.
TRAP_HOST = "evil." + DOMAIN
SITE = "Default-First-Site-Name"
OTHER_DOMAIN_DN = "DC=other,DC=example"

# The name every address answers to, in DNS and in the namespace's hosts file.
HOSTS = {DC_HOST: DC_ADDRESS, TRAP_HOST: TRAP_ADDRESS}

ADMIN_DN = "CN=Administrator,CN=Users," + DOMAIN_DN
ADMIN_PASSWORD = "Fake-Pa55word"

CONFIGURATION_DN = "CN=Configuration," + DOMAIN_DN
PSO_CONTAINER = "CN=Password Settings Container,CN=System," + DOMAIN_DN

LDAP_PORT = 389
LDAPS_PORT = 636
