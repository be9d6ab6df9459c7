# Unit tests of the platform implementations (libldap, krb5, DNS/CLDAP).
