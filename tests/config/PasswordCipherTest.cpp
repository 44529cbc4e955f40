#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "device/PasswordCipher.h"
#include "platform/TempDir.h"
#include "support/TestSupport.h"

namespace {

using tq::Aes128;

std::string Hex(const uint8_t* p, size_t n, bool upper = false) {
  static const char* lower = "0123456789abcdef";
  static const char* upperDigits = "0123456789ABCDEF";
  const char* d = upper ? upperDigits : lower;
  std::string s;
  for (size_t i = 0; i < n; ++i) {
    s += d[p[i] >> 4];
    s += d[p[i] & 15];
  }
  return s;
}

Aes128::Block FromHex(const std::string& hex) {
  Aes128::Block b{};
  for (size_t i = 0; i < 16; ++i) b[i] = uint8_t(std::stoi(hex.substr(2 * i, 2), nullptr, 16));
  return b;
}

TEST(PasswordCipher, fips197_vectors_encrypt_and_decrypt) {
  struct Case {
    const char* key;
    const char* plain;
    const char* cipher;
  } cases[] = {
      // Appendix B (the worked cipher example) and Appendix C.1 (AES-128).
      {"2b7e151628aed2a6abf7158809cf4f3c", "3243f6a8885a308d313198a2e0370734", "3925841d02dc09fbdc118597196a0b32"},
      {"000102030405060708090a0b0c0d0e0f", "00112233445566778899aabbccddeeff", "69c4e0d86a7b0430d8cdb78070b4c55a"},
  };
  for (const Case& c : cases) {
    Aes128 aes(FromHex(c.key));
    Aes128::Block out = aes.Encrypt(FromHex(c.plain));
    EXPECT_EQ(Hex(out.data(), 16), c.cipher) << c.key;
    Aes128::Block back = aes.Decrypt(FromHex(c.cipher));
    EXPECT_EQ(Hex(back.data(), 16), c.plain) << c.key;
  }
}

// Our stored value for a password equals what openssl makes of the same zero-padded
// 32-byte field with the same key and initial vector.
TEST(PasswordCipher, cbc_field_matches_openssl) {
  tqtest::TempDir dir;
  const tq::PasswordKey k = tq::StoredPasswordKey();
  const std::string thirtyTwoBytes = "\xE3\x83\x91\xE3\x82\xB9\xE3\x83\xAF\xE3\x83\xBC\xE3\x83\x89"
                                     "pass-123456789012";  // 15 + 17 bytes of UTF-8
  ASSERT_EQ(thirtyTwoBytes.size(), 32u);
  for (const std::string& password : {std::string(), std::string("abcd1234"), thirtyTwoBytes}) {
    std::string field = password;
    field.resize(32, '\0');
    tqtest::WriteBytes(dir / "field", field);
    tq::test::CommandResult r = tq::test::CaptureOutput(
        "openssl enc -aes-128-cbc -nopad -K " + Hex(k.key.data(), 16) + " -iv " + Hex(k.iv.data(), 16) +
        " -in " + tq::test::Quote(dir / "field") + " | od -An -v -tx1 | tr -d ' \\n'");
    ASSERT_EQ(r.exitCode, 0);
    ASSERT_EQ(r.output.size(), 64u) << r.output;
    std::string expected;
    for (char ch : r.output) expected += char(std::toupper(static_cast<unsigned char>(ch)));
    std::string stored = tq::EncryptPassword(password);
    if (password.empty()) {
      EXPECT_EQ(stored, "");  // an empty password is stored as an empty value
    } else {
      EXPECT_EQ(stored, expected) << password;
    }
    std::string lower;
    for (char ch : stored) lower += char(std::tolower(static_cast<unsigned char>(ch)));
    for (const std::string& value : {stored, lower}) {
      std::string back = "untouched";
      ASSERT_TRUE(tq::DecryptPassword(value, &back)) << value;
      EXPECT_EQ(back, password);
    }
  }
}

TEST(PasswordCipher, values_that_are_not_64_hex_digits_are_not_loaded) {
  const std::string good = tq::EncryptPassword("abcd1234");
  std::string badChar = good;
  badChar[17] = 'G';
  std::string blank = good;
  blank[63] = ' ';
  for (const std::string& v : {badChar, blank, good.substr(0, 62), good + "00", std::string("12"),
                               std::string(64, 'Z')}) {
    std::string out = "untouched";
    EXPECT_FALSE(tq::DecryptPassword(v, &out)) << v;
    EXPECT_EQ(out, "untouched");
  }
}

TEST(PasswordCipher, overlong_password_is_cut_on_a_character_boundary) {
  // 31 ASCII bytes then a 3-byte character: the field keeps the 31 bytes only.
  const std::string text = std::string(31, 'a') + "\xE3\x83\x91";
  std::string back;
  ASSERT_TRUE(tq::DecryptPassword(tq::EncryptPassword(text), &back));
  EXPECT_EQ(back, std::string(31, 'a'));
}

}  // namespace
