#include "directory/openldap/krb5_kdc_profile.h"

#include <arpa/inet.h>
#include <unistd.h>

#include <cstdlib>

#include "directory/openldap/krb5_handles.h"
#include "support/text_case.h"

namespace talvex {
namespace {

bool IsAddress(const std::string& host) {
  unsigned char buffer[sizeof(struct in6_addr)];
  return inet_pton(AF_INET, host.c_str(), buffer) == 1 ||
         inet_pton(AF_INET6, host.c_str(), buffer) == 1;
}

// Characters a DNS host name holds; anything else would break the profile's
// syntax, and no such host is named.
bool PlainHostName(const std::string& host) {
  for (char c : host) {
    const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
    const bool digit = c >= '0' && c <= '9';
    if (!letter && !digit && c != '-' && c != '.' && c != '_') return false;
  }
  return !host.empty();
}

// The profile files the library would read now: KRB5_CONFIG, else its
// built-in default (MIT Kerberos as the distributions build it; the list is
// not part of the library's public interface).
std::string CurrentProfileFiles() {
  const char* configured = std::getenv("KRB5_CONFIG");
  return configured != nullptr ? configured : "/etc/krb5.conf";
}

// Whether the user's profile names KDCs of the realm itself: the library
// then asks those and looks nothing up, and their choice stands.
bool ProfileNamesKdcs(const std::string& realm) {
  krb5_context raw_context = nullptr;
  if (krb5_init_context(&raw_context) != 0) return false;
  Krb5Context context(raw_context);
  profile_t raw_profile = nullptr;
  if (krb5_get_profile(context.get(), &raw_profile) != 0) return false;
  Krb5Profile profile(raw_profile);
  const char* names[] = {"realms", realm.c_str(), "kdc", nullptr};
  char** raw_values = nullptr;
  if (profile_get_values(profile.get(), names, &raw_values) != 0) return false;
  ProfileValues values(raw_values);
  return values.get()[0] != nullptr;
}

bool WriteAll(int fd, const std::string& text) {
  std::size_t done = 0;
  while (done < text.size()) {
    ssize_t written = write(fd, text.data() + done, text.size() - done);
    if (written <= 0) return false;
    done += static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

std::string Krb5KdcProfile::ProfileText(const std::string& controllerHost) {
  std::string host = controllerHost;
  if (!host.empty() && host.back() == '.') host.pop_back();
  const std::size_t dot = host.find('.');
  if (dot == std::string::npos || dot + 1 >= host.size() || IsAddress(host) ||
      !PlainHostName(host)) {
    return "";
  }
  const std::string realm = AsciiUpperCase(host.substr(dot + 1));
  if (ProfileNamesKdcs(realm)) return "";
  // Any request of more than one byte goes over TCP first (the "tcp/"
  // prefix of a kdc value is not read by the MIT releases of Debian 12).
  return "[libdefaults]\n\tudp_preference_limit = 1\n[realms]\n\t" + realm +
         " = {\n\t\tkdc = " + host + "\n\t\tmaster_kdc = " + host +
         "\n\t}\n";
}

Krb5KdcProfile::Krb5KdcProfile(const std::string& controllerHost) {
  const std::string text = ProfileText(controllerHost);
  if (text.empty()) return;
  const std::string files = CurrentProfileFiles();
  const char* directory = std::getenv("TMPDIR");
  std::string path = std::string(directory != nullptr && *directory != '\0'
                                     ? directory
                                     : "/tmp") +
                     "/talvex-krb5-XXXXXX";
  int fd = mkstemp(path.data());
  if (fd < 0) return;
  const bool written = WriteAll(fd, text);
  close(fd);
  if (!written) {
    unlink(path.c_str());
    return;
  }
  path_ = path;
  const char* current = std::getenv("KRB5_CONFIG");
  hadConfig_ = current != nullptr;
  if (hadConfig_) savedConfig_ = current;
  // Ours first: for the realm's KDC the library tries the controller first,
  // and the user's own KDCs of that realm, if any, after it.
  const std::string list = files.empty() ? path_ : path_ + ":" + files;
  setenv("KRB5_CONFIG", list.c_str(), 1);
}

Krb5KdcProfile::~Krb5KdcProfile() {
  if (path_.empty()) return;
  if (hadConfig_) {
    setenv("KRB5_CONFIG", savedConfig_.c_str(), 1);
  } else {
    unsetenv("KRB5_CONFIG");
  }
  unlink(path_.c_str());
}

}  // namespace talvex
