# End-to-end tests of the actions against the lab domain controller, each
# alone. View, applied, membership, effective, JSON and the directory's
# values make and remove objects of their own and leave the seeded ones as
# they were, but their dry-run checks compare the directory's
# highestCommittedUSN before and after. Add, modify, rename, delete and
# quick start change the lab's PSOs and, for a moment, its domain policy.
foreach(module IN ITEMS test_view test_view_applied test_membership test_effective
    test_json test_directory_values test_add test_modify test_delete test_quickstart)
  talvex_e2e_test(e2e_${module} SUITE ${module} LAB SERIAL)
endforeach()

# -audit grades the suite's own PSOs and the domain policy, and checks that
# an audit writes nothing (the objects' uSNChanged).
talvex_e2e_test(e2e_test_audit SUITE test_audit LAB SERIAL)

# -coverage: the suite's own accounts, groups and PSOs, every row against
# msDS-ResultantPSO, a plain user's bind; a run writes nothing.
talvex_e2e_test(e2e_test_coverage SUITE test_coverage LAB SERIAL)
# Policies as code: -export of the suite's own PSOs, compared with the
# directory read back; an export writes nothing.
talvex_e2e_test(e2e_test_policy_code SUITE test_policy_code LAB SERIAL)
# Policies carried into a second, freshly provisioned domain (its own
# namespace, added and removed by the suite).
talvex_e2e_test(e2e_test_second_domain SUITE test_second_domain LAB SERIAL)
