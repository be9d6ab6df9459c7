# Platform implementations below the seams, one set per platform, chosen by
# the build: directory/openldap (libldap/liblber, Cyrus SASL GSSAPI with MIT
# Kerberos, the resolver and the CLDAP netlogon ping) on Linux,
# directory/windows (wldap32, netapi32, advapi32) on Windows.
if(WIN32)
  include(${CMAKE_CURRENT_LIST_DIR}/windows/sources.cmake)
else()
  include(${CMAKE_CURRENT_LIST_DIR}/openldap/sources.cmake)
endif()
