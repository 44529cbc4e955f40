#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "telemetry/ScanFields.h"

namespace {

using tq::ScanFields;
using tq::ScanTarget;

// Reads "%d.%d,%c,%lf,%c" into fields preset to sentinels, so unread fields show.
struct Fields {
  int32_t a = -7, b = -7;
  char c = '#';
  double d = -7.5;
  char e = '#';
};

struct Case {
  const char* name;
  const char* input;
  int assigned;
  Fields expect;
};

TEST(ScanFields, reads_left_to_right_and_keeps_fields_after_a_mismatch) {
  const Case cases[] = {
      {"all fields", "123519.25,A,4807.038,N", 5, {123519, 25, 'A', 4807.038, 'N'}},
      {"empty first field", ",A,4807.038,N", 0, {}},
      {"empty fraction", "123519.,A", 1, {123519, -7, '#', -7.5, '#'}},
      {"char takes one blank", "1.2, A,4807.038,N", 3, {1, 2, ' ', -7.5, '#'}},
      {"char takes the comma of an empty field", "1.2,,4807.038,N", 3, {1, 2, ',', -7.5, '#'}},
      {"number skips blanks", "1.2,A, 4807.038,N", 5, {1, 2, 'A', 4807.038, 'N'}},
      {"number skips tabs and newlines", "\t1.\n2,A,\r4807.038,N", 5, {1, 2, 'A', 4807.038, 'N'}},
      {"signed numbers", "-1.+2,A,-0.5,S", 5, {-1, 2, 'A', -0.5, 'S'}},
      {"letters where a number stands", "1.2,A,abc,N", 3, {1, 2, 'A', -7.5, '#'}},
      {"input ends before a char", "1.2,A,3,", 4, {1, 2, 'A', 3, '#'}},
      {"empty input", "", 0, {}},
      {"a number stops at the first non-digit", "12x.3", 1, {12, -7, '#', -7.5, '#'}},
  };
  for (const auto& c : cases) {
    Fields f;
    const ScanTarget t[] = {&f.a, &f.b, &f.c, &f.d, &f.e};
    EXPECT_EQ(ScanFields(c.input, "%d.%d,%c,%lf,%c", t), c.assigned) << c.name;
    EXPECT_EQ(f.a, c.expect.a) << c.name;
    EXPECT_EQ(f.b, c.expect.b) << c.name;
    EXPECT_EQ(f.c, c.expect.c) << c.name;
    EXPECT_DOUBLE_EQ(f.d, c.expect.d) << c.name;
    EXPECT_EQ(f.e, c.expect.e) << c.name;
  }
}

TEST(ScanFields, doubles_follow_the_c_number_syntax_without_the_locale) {
  struct Row {
    const char* input;
    int assigned;
    double value;
  } rows[] = {
      {"4807.038", 1, 4807.038}, {".5", 1, 0.5},       {"5.", 1, 5.0},      {"1.5e3", 1, 1500.0},
      {"2E-2", 1, 0.02},         {"1e", 1, 1.0},       {"1e+", 1, 1.0},     {".", 0, -1},
      {"-", 0, -1},              {"+", 0, -1},         {"e5", 0, -1},       {"1e999", 1, INFINITY},
      {"-1e999", 1, -INFINITY},  {"1e-999", 1, 0.0},   {"3,5", 1, 3.0},
  };
  for (const auto& r : rows) {
    double v = -1;
    const ScanTarget t[] = {&v};
    EXPECT_EQ(ScanFields(r.input, "%lf", t), r.assigned) << r.input;
    EXPECT_EQ(v, r.value) << r.input;
  }
  // "1e" leaves the 'e' unread: the literal after the number must match it.
  double v = 0;
  char c = 0;
  const ScanTarget t[] = {&v, &c};
  EXPECT_EQ(ScanFields("1ex", "%lf%c", t), 2);
  EXPECT_EQ(c, 'e');
}

TEST(ScanFields, integers_are_held_at_their_limits) {
  int32_t a = 0;
  int64_t b = 0;
  const ScanTarget t[] = {&a, &b};
  EXPECT_EQ(ScanFields("99999999999 99999999999999999999", "%d %I64d", t), 2);
  EXPECT_EQ(a, INT32_MAX);
  EXPECT_EQ(b, INT64_MAX);
  EXPECT_EQ(ScanFields("-99999999999 -9223372036854775808", "%d %I64d", t), 2);
  EXPECT_EQ(a, INT32_MIN);
  EXPECT_EQ(b, INT64_MIN);
  EXPECT_EQ(ScanFields("[1704462301000]", "[%I64d]", std::span<const ScanTarget>(t + 1, 1)), 1);
  EXPECT_EQ(b, 1704462301000);
}

TEST(ScanFields, a_target_of_the_wrong_type_or_a_missing_target_ends_the_scan) {
  int32_t a = 5;
  double d = 1;
  const ScanTarget wrong[] = {&d};
  EXPECT_EQ(ScanFields("12", "%d", wrong), 0);
  EXPECT_EQ(d, 1);
  const ScanTarget one[] = {&a};
  EXPECT_EQ(ScanFields("1,2", "%d,%d", one), 1);
  EXPECT_EQ(a, 1);
}

}  // namespace
