#!/usr/bin/env bash
# ldapmodify as Administrator (simple bind) against the lab DC, from inside
# the lab namespace, for tests that set up or undo directory state:
#   lab/ldapmodify.sh [ldapmodify options] < changes.ldif
#
# LAB_LDAP_URI picks another server (default ldap://10.99.0.11), LAB_LDAP_USER
# another user to bind as (the second domain's Administrator); passwords
# (unicodePwd) need LDAPS: LAB_LDAP_URI=ldaps://dc1.corp.example.com.
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
lab_load_env
exec ip netns exec "$LAB_NS" env LDAPTLS_CACERT="$LAB_CA" \
  ldapmodify -x -H "${LAB_LDAP_URI:-ldap://$LAB_DC_IP}" -o nettimeout=10 \
  -D "${LAB_LDAP_USER:-Administrator@$LAB_DOMAIN}" -w "$LAB_ADMIN_PASSWORD" "$@"
