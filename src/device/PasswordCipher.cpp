#include "device/PasswordCipher.h"

#include <cstring>

#include "platform/Utf.h"

namespace tq {
namespace {

// The cipher's tables, computed once from the field GF(2^8) mod x^8+x^4+x^3+x+1 rather
// than typed in: a mistyped table entry would pass most inputs and fail a few.
struct AesTables {
  uint8_t sbox[256];
  uint8_t inv[256];
  uint32_t te[4][256];  // SubBytes + MixColumns, one table per byte position
  uint32_t td[4][256];  // InvSubBytes + InvMixColumns
  uint8_t rcon[10];
};

uint8_t XTime(uint8_t a) { return uint8_t((a << 1) ^ ((a & 0x80) ? 0x1b : 0)); }

uint8_t Mul(uint8_t a, uint8_t b) {
  uint8_t p = 0;
  while (b) {
    if (b & 1) p ^= a;
    a = XTime(a);
    b >>= 1;
  }
  return p;
}

uint32_t Rotr8(uint32_t w) { return (w >> 8) | (w << 24); }

AesTables MakeTables() {
  AesTables t{};
  // Powers of the generator 3 give the multiplicative inverse of every non-zero element.
  uint8_t exp[255], log[256] = {};
  uint8_t x = 1;
  for (int i = 0; i < 255; ++i) {
    exp[i] = x;
    log[x] = uint8_t(i);
    x = uint8_t(x ^ XTime(x));
  }
  for (int i = 0; i < 256; ++i) {
    uint8_t b = i == 0 ? 0 : exp[(255 - log[i]) % 255];
    uint8_t s = b;
    for (int r = 1; r <= 4; ++r) s ^= uint8_t((b << r) | (b >> (8 - r)));
    s ^= 0x63;
    t.sbox[i] = s;
    t.inv[s] = uint8_t(i);
  }
  for (int i = 0; i < 256; ++i) {
    uint8_t s = t.sbox[i];
    uint32_t e = uint32_t(Mul(s, 2)) << 24 | uint32_t(s) << 16 | uint32_t(s) << 8 | Mul(s, 3);
    uint8_t v = t.inv[i];
    uint32_t d = uint32_t(Mul(v, 14)) << 24 | uint32_t(Mul(v, 9)) << 16 |
                 uint32_t(Mul(v, 13)) << 8 | Mul(v, 11);
    for (int k = 0; k < 4; ++k) {
      t.te[k][i] = e;
      t.td[k][i] = d;
      e = Rotr8(e);
      d = Rotr8(d);
    }
  }
  uint8_t rc = 1;
  for (uint8_t& r : t.rcon) {
    r = rc;
    rc = XTime(rc);
  }
  return t;
}

const AesTables& Tables() {
  static const AesTables tables = MakeTables();
  return tables;
}

uint32_t Load32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

void Store32(uint32_t w, uint8_t* p) {
  p[0] = uint8_t(w >> 24);
  p[1] = uint8_t(w >> 16);
  p[2] = uint8_t(w >> 8);
  p[3] = uint8_t(w);
}

uint32_t SubWord(const AesTables& t, uint32_t w) {
  return uint32_t(t.sbox[w >> 24]) << 24 | uint32_t(t.sbox[(w >> 16) & 0xff]) << 16 |
         uint32_t(t.sbox[(w >> 8) & 0xff]) << 8 | t.sbox[w & 0xff];
}

// InvMixColumns of one round-key word, for the equivalent inverse cipher's schedule.
uint32_t InvMixWord(const AesTables& t, uint32_t w) {
  return t.td[0][t.sbox[w >> 24]] ^ t.td[1][t.sbox[(w >> 16) & 0xff]] ^
         t.td[2][t.sbox[(w >> 8) & 0xff]] ^ t.td[3][t.sbox[w & 0xff]];
}

constexpr int kRounds = 10;

// The stored passwords' key and initial vector: each is the exclusive or of two constant
// halves, so neither appears whole in the program's bytes.
constexpr uint8_t kKeyA[16] = {0x5c, 0x21, 0x9e, 0x07, 0xb3, 0x48, 0xd1, 0x6a,
                               0x0f, 0xe4, 0x72, 0x9b, 0x36, 0xc8, 0x15, 0xa0};
constexpr uint8_t kKeyB[16] = {0x2b, 0x97, 0x40, 0xdd, 0x68, 0x13, 0xfa, 0x85,
                               0xc2, 0x39, 0x5e, 0x04, 0xe7, 0x71, 0xac, 0x1f};
constexpr uint8_t kIvA[16] = {0x91, 0x3e, 0x05, 0xf8, 0x6c, 0xa7, 0x22, 0xdb,
                              0x48, 0x10, 0xbf, 0x63, 0xd5, 0x8a, 0x37, 0xec};
constexpr uint8_t kIvB[16] = {0x07, 0xc4, 0x7b, 0x29, 0xe0, 0x55, 0x9d, 0x36,
                              0xab, 0xf2, 0x14, 0x8e, 0x61, 0x3c, 0xd7, 0x40};

constexpr char kHexDigits[] = "0123456789ABCDEF";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

}  // namespace

Aes128::Aes128(const Block& key) {
  const AesTables& t = Tables();
  for (int i = 0; i < 4; ++i) enc_[i] = Load32(&key[size_t(4 * i)]);
  for (int i = 4; i < 44; ++i) {
    uint32_t w = enc_[i - 1];
    if (i % 4 == 0) w = SubWord(t, (w << 8) | (w >> 24)) ^ (uint32_t(t.rcon[i / 4 - 1]) << 24);
    enc_[i] = enc_[i - 4] ^ w;
  }
  // The inverse cipher walks the rounds backwards; its middle round keys pass through
  // InvMixColumns so that the rounds can use the same table shape as encryption.
  for (int r = 0; r <= kRounds; ++r) {
    for (int c = 0; c < 4; ++c) {
      uint32_t w = enc_[4 * (kRounds - r) + c];
      dec_[4 * r + c] = (r == 0 || r == kRounds) ? w : InvMixWord(t, w);
    }
  }
}

Aes128::Block Aes128::Encrypt(const Block& in) const {
  const AesTables& t = Tables();
  uint32_t s[4], n[4];
  for (int c = 0; c < 4; ++c) s[c] = Load32(&in[size_t(4 * c)]) ^ enc_[c];
  for (int r = 1; r < kRounds; ++r) {
    for (int c = 0; c < 4; ++c) {
      n[c] = t.te[0][s[c] >> 24] ^ t.te[1][(s[(c + 1) % 4] >> 16) & 0xff] ^
             t.te[2][(s[(c + 2) % 4] >> 8) & 0xff] ^ t.te[3][s[(c + 3) % 4] & 0xff] ^
             enc_[4 * r + c];
    }
    std::memcpy(s, n, sizeof s);
  }
  Block out;
  for (int c = 0; c < 4; ++c) {
    uint32_t w = uint32_t(t.sbox[s[c] >> 24]) << 24 |
                 uint32_t(t.sbox[(s[(c + 1) % 4] >> 16) & 0xff]) << 16 |
                 uint32_t(t.sbox[(s[(c + 2) % 4] >> 8) & 0xff]) << 8 | t.sbox[s[(c + 3) % 4] & 0xff];
    Store32(w ^ enc_[4 * kRounds + c], &out[size_t(4 * c)]);
  }
  return out;
}

Aes128::Block Aes128::Decrypt(const Block& in) const {
  const AesTables& t = Tables();
  uint32_t s[4], n[4];
  for (int c = 0; c < 4; ++c) s[c] = Load32(&in[size_t(4 * c)]) ^ dec_[c];
  // InvShiftRows takes column c's byte i from column c - i.
  for (int r = 1; r < kRounds; ++r) {
    for (int c = 0; c < 4; ++c) {
      n[c] = t.td[0][s[c] >> 24] ^ t.td[1][(s[(c + 3) % 4] >> 16) & 0xff] ^
             t.td[2][(s[(c + 2) % 4] >> 8) & 0xff] ^ t.td[3][s[(c + 1) % 4] & 0xff] ^
             dec_[4 * r + c];
    }
    std::memcpy(s, n, sizeof s);
  }
  Block out;
  for (int c = 0; c < 4; ++c) {
    uint32_t w = uint32_t(t.inv[s[c] >> 24]) << 24 |
                 uint32_t(t.inv[(s[(c + 3) % 4] >> 16) & 0xff]) << 16 |
                 uint32_t(t.inv[(s[(c + 2) % 4] >> 8) & 0xff]) << 8 | t.inv[s[(c + 1) % 4] & 0xff];
    Store32(w ^ dec_[4 * kRounds + c], &out[size_t(4 * c)]);
  }
  return out;
}

void CbcEncrypt(const Aes128& aes, const Aes128::Block& iv, PasswordField* field) {
  Aes128::Block chain = iv;
  for (size_t at = 0; at < field->size(); at += 16) {
    Aes128::Block b;
    for (size_t i = 0; i < 16; ++i) b[i] = uint8_t((*field)[at + i] ^ chain[i]);
    chain = aes.Encrypt(b);
    std::memcpy(field->data() + at, chain.data(), 16);
  }
}

void CbcDecrypt(const Aes128& aes, const Aes128::Block& iv, PasswordField* field) {
  Aes128::Block chain = iv;
  for (size_t at = 0; at < field->size(); at += 16) {
    Aes128::Block b;
    std::memcpy(b.data(), field->data() + at, 16);
    Aes128::Block plain = aes.Decrypt(b);
    for (size_t i = 0; i < 16; ++i) (*field)[at + i] = uint8_t(plain[i] ^ chain[i]);
    chain = b;
  }
}

PasswordKey StoredPasswordKey() {
  PasswordKey k;
  for (size_t i = 0; i < 16; ++i) {
    k.key[i] = uint8_t(kKeyA[i] ^ kKeyB[i]);
    k.iv[i] = uint8_t(kIvA[i] ^ kIvB[i]);
  }
  return k;
}

std::string EncryptPassword(std::string_view password) {
  if (password.empty() || password[0] == '\0') return {};
  std::string_view cut = Utf8PrefixBytes(password, kPasswordFieldBytes);
  PasswordField field{};
  std::memcpy(field.data(), cut.data(), cut.size());
  const PasswordKey k = StoredPasswordKey();
  CbcEncrypt(Aes128(k.key), k.iv, &field);
  std::string hex;
  hex.reserve(2 * field.size());
  for (uint8_t b : field) {
    hex += kHexDigits[b >> 4];
    hex += kHexDigits[b & 15];
  }
  return hex;
}

bool DecryptPassword(std::string_view stored, std::string* password) {
  if (stored.empty()) {
    password->clear();
    return true;
  }
  if (stored.size() != 2 * kPasswordFieldBytes) return false;
  PasswordField field;
  for (size_t i = 0; i < field.size(); ++i) {
    int hi = HexValue(stored[2 * i]), lo = HexValue(stored[2 * i + 1]);
    if (hi < 0 || lo < 0) return false;
    field[i] = uint8_t(hi << 4 | lo);
  }
  const PasswordKey k = StoredPasswordKey();
  CbcDecrypt(Aes128(k.key), k.iv, &field);
  size_t len = 0;
  while (len < field.size() && field[len] != 0) ++len;
  password->assign(reinterpret_cast<const char*>(field.data()), len);
  return true;
}

}  // namespace tq
