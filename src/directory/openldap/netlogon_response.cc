#include "directory/openldap/netlogon_response.h"

namespace talvex {

namespace {

// More pointer hops than a name can sensibly need: a loop.
constexpr int kMaxPointerHops = 64;
// RFC 1035: at most 255 octets in a name's wire form.
constexpr std::size_t kMaxNameLength = 255;

class BlobReader {
 public:
  explicit BlobReader(std::string_view blob) : blob_(blob) {}

  bool ReadUint16(std::uint16_t* value) {
    if (offset_ + 2 > blob_.size()) return false;
    *value = static_cast<std::uint16_t>(Byte(offset_) | Byte(offset_ + 1) << 8);
    offset_ += 2;
    return true;
  }

  bool ReadUint32(std::uint32_t* value) {
    if (offset_ + 4 > blob_.size()) return false;
    *value = static_cast<std::uint32_t>(Byte(offset_)) |
             static_cast<std::uint32_t>(Byte(offset_ + 1)) << 8 |
             static_cast<std::uint32_t>(Byte(offset_ + 2)) << 16 |
             static_cast<std::uint32_t>(Byte(offset_ + 3)) << 24;
    offset_ += 4;
    return true;
  }

  bool ReadBytes(std::uint8_t* bytes, std::size_t count) {
    if (offset_ + count > blob_.size()) return false;
    for (std::size_t i = 0; i < count; ++i) bytes[i] = Byte(offset_ + i);
    offset_ += count;
    return true;
  }

  // A DNS-encoded name; the reader moves past the name's own bytes (up to
  // and including the first pointer), not past what a pointer leads to.
  bool ReadName(std::string* name) {
    name->clear();
    std::size_t position = offset_;
    std::size_t wireLength = 0;
    bool followedPointer = false;
    int hops = 0;
    for (;;) {
      if (position >= blob_.size()) return false;
      std::uint8_t length = Byte(position);
      if (length == 0) {
        if (!followedPointer) offset_ = position + 1;
        return true;
      }
      if ((length & 0xC0) == 0xC0) {
        if (position + 1 >= blob_.size() || ++hops > kMaxPointerHops)
          return false;
        std::size_t target =
            static_cast<std::size_t>(length & 0x3F) << 8 | Byte(position + 1);
        if (!followedPointer) offset_ = position + 2;
        followedPointer = true;
        position = target;
        continue;
      }
      // 0x40 and 0x80 are reserved label types.
      if ((length & 0xC0) != 0) return false;
      if (position + 1 + length > blob_.size()) return false;
      wireLength += 1 + length;
      if (wireLength > kMaxNameLength) return false;
      if (!name->empty()) name->push_back('.');
      name->append(blob_.substr(position + 1, length));
      position += 1 + length;
    }
  }

  std::size_t offset() const { return offset_; }

 private:
  std::uint8_t Byte(std::size_t at) const {
    return static_cast<std::uint8_t>(blob_[at]);
  }

  std::string_view blob_;
  std::size_t offset_ = 0;
};

}  // namespace

bool DecodeNetlogonResponse(std::string_view blob, NetlogonResponse* response) {
  NetlogonResponse decoded;
  BlobReader reader(blob);
  std::uint16_t sbz = 0;
  if (!reader.ReadUint16(&decoded.opcode) || !reader.ReadUint16(&sbz) ||
      !reader.ReadUint32(&decoded.flags) ||
      !reader.ReadBytes(decoded.domainGuid.data(), decoded.domainGuid.size())) {
    return false;
  }
  if (decoded.opcode != kLogonSamLogonResponseEx &&
      decoded.opcode != kLogonSamUserUnknownEx) {
    return false;
  }
  std::string* const names[] = {
      &decoded.dnsForestName,       &decoded.dnsDomainName,
      &decoded.dnsHostName,         &decoded.netbiosDomainName,
      &decoded.netbiosComputerName, &decoded.userName,
      &decoded.dcSiteName,          &decoded.clientSiteName,
  };
  for (std::string* name : names) {
    if (!reader.ReadName(name)) return false;
  }
  // The fields after the names depend on the version bits asked for (a
  // socket address, the next closest site); the last eight bytes are
  // always NtVersion and the two tokens.
  if (blob.size() >= reader.offset() + 8) {
    BlobReader tail(blob.substr(blob.size() - 8));
    tail.ReadUint32(&decoded.ntVersion);
  }
  *response = std::move(decoded);
  return true;
}

}  // namespace talvex
