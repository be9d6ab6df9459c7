#!/usr/bin/env bash
# ldapsearch as Administrator (simple bind) against the lab DC, from inside
# the lab namespace, for tests that read the directory back on their own:
#   lab/ldapsearch.sh [ldapsearch options] [filter] [attributes...]
#
# The search base defaults to the domain (pass -b to change it), lines are not
# wrapped. LAB_LDAP_URI picks another server (default ldap://10.99.0.11).
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
lab_load_env
exec ip netns exec "$LAB_NS" env LDAPBASE="$LAB_BASE_DN" LDAPTLS_CACERT="$LAB_CA" \
  ldapsearch -x -H "${LAB_LDAP_URI:-ldap://$LAB_DC_IP}" -o ldif-wrap=no -o nettimeout=10 \
  -D "${LAB_LDAP_USER:-Administrator@$LAB_DOMAIN}" -w "$LAB_ADMIN_PASSWORD" "$@"
