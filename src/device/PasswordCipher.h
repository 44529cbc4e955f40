// The protection of Wi-Fi passwords stored in the camera's config.ini: the password is a
// 32-byte field (UTF-8, zero-padded), encrypted with AES-128 in CBC mode (two blocks,
// no padding) and written as 64 upper-case hexadecimal digits. An empty password is an
// empty value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tq {

// The AES-128 block cipher (FIPS-197), table-driven; decryption is the standard's
// equivalent inverse cipher over the same kind of tables.
class Aes128 {
 public:
  using Block = std::array<uint8_t, 16>;
  explicit Aes128(const Block& key);

  Block Encrypt(const Block& in) const;
  Block Decrypt(const Block& in) const;

 private:
  uint32_t enc_[44];  // round keys of the cipher
  uint32_t dec_[44];  // round keys of the equivalent inverse cipher, in the order it uses them
};

inline constexpr size_t kPasswordFieldBytes = 32;
using PasswordField = std::array<uint8_t, kPasswordFieldBytes>;

// CBC over the whole field in place; every call starts from `iv`.
void CbcEncrypt(const Aes128& aes, const Aes128::Block& iv, PasswordField* field);
void CbcDecrypt(const Aes128& aes, const Aes128::Block& iv, PasswordField* field);

// The fixed key and initial vector of the stored passwords.
struct PasswordKey {
  Aes128::Block key;
  Aes128::Block iv;
};
PasswordKey StoredPasswordKey();

// The value stored for `password`: "" for an empty password, else 64 upper-case hex
// digits. A password longer than the field is cut at the last whole UTF-8 character
// that fits.
std::string EncryptPassword(std::string_view password);
// Reads a stored value: "" gives an empty password. False (and `password` untouched)
// for a value that is not exactly 64 hexadecimal digits of either case.
bool DecryptPassword(std::string_view stored, std::string* password);

}  // namespace tq
