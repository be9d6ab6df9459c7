#!/usr/bin/env bash
# Runs a command inside the lab namespace with the lab's Kerberos environment:
#   lab/exec.sh CMD [ARGS...]
#
# KRB5_CONFIG is the lab's krb5.conf and KRB5CCNAME the lab's Administrator
# ticket cache (renewed first when expired). The namespace resolves the domain
# through the DC's DNS. To run with another cache, override it inside:
#   lab/exec.sh env KRB5CCNAME=FILE:/tmp/empty talvex ...
set -euo pipefail
. "$(dirname "${BASH_SOURCE[0]}")/lib.sh"
[ $# -gt 0 ] || lab_die "usage: lab/exec.sh CMD [ARGS...]"
lab_load_env
lab_ensure_ticket
exec ip netns exec "$LAB_NS" env KRB5_CONFIG="$LAB_KRB5_CONFIG" KRB5CCNAME="$LAB_KRB5CCNAME" "$@"
