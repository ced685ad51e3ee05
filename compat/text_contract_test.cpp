// The contract of the text calls: conversion between wide text and code pages, letter case, the
// ANSI code page and the command line.
#include <cstring>
#include <vector>

#include "contract/Contract.h"

namespace {

using contract::B;
using contract::Bytes;
using contract::Everywhere;
using contract::NotOnTheStandIn;
using contract::NotUnderWine;
using contract::OnlyUnderWine;
using contract::Where;

constexpr DWORD kNoBestFit = WC_NO_BEST_FIT_CHARS;
constexpr DWORD kInvalidCharsW = 0x00000080;  // WC_ERR_INVALID_CHARS
constexpr DWORD kInvalidCharsM = MB_ERR_INVALID_CHARS;
constexpr DWORD kPrecomposed = 0x00000001;  // MB_PRECOMPOSED

// WideCharToMultiByte. The output buffer holds cbOutput bytes (none for a size probe, 0, which
// is given a buffer all the same); what it holds afterwards is compared with output, and not a
// byte beyond output may change: no part of a character that does not fit, nothing on a probe.
// (A conversion refused for another reason may leave anything within the buffer.)
struct ToBytesRow {
  const char* name;
  UINT codePage;
  DWORD flags;
  const wchar_t* input;  // null: a null pointer
  int cchInput;          // -1: up to and with the null
  int cbOutput;
  const char* defaultChar;
  bool askUsedDefault;
  int result;
  DWORD lastError;  // when the result is 0
  Bytes output;
  int usedDefault;  // -1: not asked
  Where where = Everywhere();
};

const ToBytesRow kToBytes[] = {
    // The argument of the program in an error message (the reason for WC_NO_BEST_FIT_CHARS).
    {"ansi_no_best_fit", 1252, kNoBestFit, L"\u0141ukasz\u221E\u0100", 8, 16, nullptr, true, 8, 0,
     B("?ukasz??"), 1},
    {"ansi_best_fit", 1252, 0, L"\u0142\u221E\u0101", 3, 16, nullptr, true, 3, 0, B("l8a"), 0,
     NotOnTheStandIn("best fit: the program always asks for WC_NO_BEST_FIT_CHARS here")},
    {"ansi_exact_without_flags", 1252, 0, L"\u00E9\u20AC", 2, 16, nullptr, true, 2, 0,
     B("\xE9\x80"), 0},
    {"ansi_default_char", 1252, kNoBestFit, L"a\u0100", 2, 16, "*", true, 2, 0, B("a*"), 1},
    {"ansi_not_used_default", 1252, kNoBestFit, L"abc", 3, 16, nullptr, true, 3, 0, B("abc"), 0},
    {"ansi_1252_high_half", 1252, kNoBestFit,
     L"\u20AC\u201A\u0192\u201E\u2026\u2020\u2021\u02C6\u2030\u0160\u2039\u0152\u017D\u2018\u2019"
     L"\u201C\u201D\u2022\u2013\u2014\u02DC\u2122\u0161\u203A\u0153\u017E\u0178",
     27, 64, nullptr, true, 27, 0,
     B("\x80\x82\x83\x84\x85\x86\x87\x88\x89\x8A\x8B\x8C\x8E\x91\x92\x93\x94\x95\x96\x97\x98\x99"
       "\x9A\x9B\x9C\x9E\x9F"),
     0},
    {"ansi_1252_undefined_bytes", 1252, kNoBestFit, L"\u0081\u008D\u008F\u0090\u009D", 5, 16,
     nullptr, true, 5, 0, B("\x81\x8D\x8F\x90\x9D"), 0},
    {"ansi_1252_c1_other_than_undefined", 1252, kNoBestFit, L"\u0080\u009F", 2, 16, nullptr, true,
     2, 0, B("??"), 1},
    // A character beyond the BMP is two UTF-16 units, each written as a default character (the
    // program writes the high unit alone); on Linux the units are two lone surrogates, the same.
    {"ansi_surrogate_pair_is_two_units", 1252, kNoBestFit, L"a\xD83D\xDE00z", 4, 16, nullptr, true,
     4, 0, B("a??z"), 1},
    {"ansi_lone_high_surrogate", 1252, kNoBestFit, L"a\xD83Dz", 3, 16, nullptr, true, 3, 0,
     B("a?z"), 1},
    {"shift_jis_932_lone_high_surrogate", 932, kNoBestFit, L"\xD842\u91CE", 2, 16, nullptr, true, 3,
     0, B("?\x96\xEC"), 1},
    {"ascii_20127", 20127, kNoBestFit, L"a\u00E9", 2, 16, nullptr, true, 2, 0, B("a?"), 1},
    {"latin1_28591", 28591, kNoBestFit, L"\u00E9\u20AC\u0080", 3, 16, nullptr, true, 3, 0,
     B("\xE9?\x80"), 1},
    {"latin9_28605", 28605, kNoBestFit, L"\u20AC\u00A4", 2, 16, nullptr, true, 2, 0, B("\xA4?"), 1},
    {"probe_counts_without_writing", 1252, kNoBestFit, L"abc", 3, 0, nullptr, false, 3, 0, B(""),
     -1},
    {"minus_one_counts_the_null", 1252, kNoBestFit, L"abc", -1, 16, nullptr, false, 4, 0,
     B("abc\0"), -1},
    {"probe_minus_one", 1252, kNoBestFit, L"abc", -1, 0, nullptr, false, 4, 0, B(""), -1},
    {"short_buffer_fills_what_fits", 1252, kNoBestFit, L"abcd", 4, 2, nullptr, false, 0,
     ERROR_INSUFFICIENT_BUFFER, B("ab"), -1},
    {"short_by_the_null", 1252, kNoBestFit, L"abc", -1, 3, nullptr, false, 0,
     ERROR_INSUFFICIENT_BUFFER, B("abc"), -1},
    // After a short buffer the used-default flag tells of what was written.
    {"short_buffer_used_default_written", 1252, kNoBestFit, L"a\u0100c", 3, 2, nullptr, true, 0,
     ERROR_INSUFFICIENT_BUFFER, B("a?"), 1},
    {"short_buffer_used_default_not_written", 1252, kNoBestFit, L"ab\u0100", 3, 2, nullptr, true, 0,
     ERROR_INSUFFICIENT_BUFFER, B("ab"), 0},
    {"unknown_flag", 1252, 0x10000000, L"a", 1, 16, nullptr, false, 0, ERROR_INVALID_FLAGS, B(""),
     -1},
    {"unknown_code_page", 12345, 0, L"a", 1, 16, nullptr, false, 0, ERROR_INVALID_PARAMETER, B(""),
     -1},
    {"null_text", 1252, 0, nullptr, 1, 16, nullptr, false, 0, ERROR_INVALID_PARAMETER, B(""), -1},
    {"empty_length", 1252, 0, L"a", 0, 16, nullptr, false, 0, ERROR_INVALID_PARAMETER, B(""), -1},
    {"negative_size", 1252, 0, L"a", 1, -1, nullptr, false, 0, ERROR_INVALID_PARAMETER, B(""), -1},
    {"utf8", CP_UTF8, 0, L"a\u00E9\u20AC\U0001F600", -1, 16, nullptr, false, 11, 0,
     B("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\0"), -1},
    {"utf8_probe", CP_UTF8, 0, L"a\u00E9\u20AC\U0001F600", -1, 0, nullptr, false, 11, 0, B(""), -1},
    {"utf8_short_buffer_keeps_whole_characters", CP_UTF8, 0, L"a\u00E9\u20AC", 3, 4, nullptr, false,
     0, ERROR_INSUFFICIENT_BUFFER, B("a\xC3\xA9"), -1},
    {"utf8_lone_surrogate", CP_UTF8, 0, L"a\xD800z", 3, 16, nullptr, false, 5, 0,
     B("a\xEF\xBF\xBDz"), -1},
    {"utf8_lone_surrogate_refused", CP_UTF8, kInvalidCharsW, L"a\xD800z", 3, 16, nullptr, false, 0,
     ERROR_NO_UNICODE_TRANSLATION, B(""), -1, NotOnTheStandIn("the program never asks for it")},
    {"utf8_refuses_no_best_fit", CP_UTF8, kNoBestFit, L"a", 1, 16, nullptr, false, 0,
     ERROR_INVALID_FLAGS, B(""), -1,
     NotUnderWine("Wine accepts WC_NO_BEST_FIT_CHARS for CP_UTF8, Windows refuses it")},
    {"utf8_no_best_fit_under_wine", CP_UTF8, kNoBestFit, L"a", 1, 16, nullptr, false, 1, 0, B("a"),
     -1, OnlyUnderWine("accepts WC_NO_BEST_FIT_CHARS for CP_UTF8")},
    {"utf8_refuses_a_default_char", CP_UTF8, 0, L"a", 1, 16, "?", false, 0, ERROR_INVALID_PARAMETER,
     B(""), -1, NotUnderWine("Wine takes a default character for CP_UTF8")},
    {"utf8_refuses_the_used_flag", CP_UTF8, 0, L"a", 1, 16, nullptr, true, 0,
     ERROR_INVALID_PARAMETER, B(""), -1,
     NotUnderWine("Wine takes the used-default flag for CP_UTF8")},
    // A double-byte page writes only what reads back as the same character: no yen sign as 932's
    // backslash, no overline as its tilde.
    {"shift_jis_932_no_look_alikes", 932, kNoBestFit, L"\u00A5\u203E\u00A2", 3, 16, nullptr, true,
     3, 0, B("???"), 1},
    {"gb18030", 54936, 0, L"a\u00E9", 2, 16, nullptr, false, 3, 0, B("a\xA8\xA6"), -1,
     NotUnderWine("code page 54936 is not installed")},
    {"gb18030_refuses_no_best_fit", 54936, kNoBestFit, L"a", 1, 16, nullptr, false, 0,
     ERROR_INVALID_FLAGS, B(""), -1, NotUnderWine("code page 54936 is not installed")},
};

class WideCharToMultiByteContract : public ::testing::TestWithParam<ToBytesRow> {};

TEST_P(WideCharToMultiByteContract, Holds) {
  const ToBytesRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  const size_t cbBuffer = row.cbOutput > 0 ? static_cast<size_t>(row.cbOutput) : 0;
  std::vector<char> buffer(cbBuffer + 8, '\x7F');
  BOOL used = 2;
  SetLastError(0);
  int result =
      WideCharToMultiByte(row.codePage, row.flags, row.input, row.cchInput, buffer.data(),
                          row.cbOutput, row.defaultChar, row.askUsedDefault ? &used : nullptr);
  const DWORD error = GetLastError();
  EXPECT_EQ(result, row.result);
  if (row.result == 0) {
    EXPECT_EQ(error, row.lastError);
  }
  EXPECT_EQ(contract::Show(std::string_view(buffer.data(), row.output.size)),
            contract::Show(row.output.view()));
  bool refused = result == 0 && error != ERROR_INSUFFICIENT_BUFFER;
  for (size_t i = refused ? cbBuffer : row.output.size; i < buffer.size(); ++i) {
    EXPECT_EQ(buffer[i], '\x7F') << "byte " << i;
  }
  if (row.usedDefault >= 0) {
    EXPECT_EQ(used, row.usedDefault);
  }
}

CONTRACT_TABLE(WideCharToMultiByteContract, kToBytes)

// MultiByteToWideChar. The output buffer holds cchOutput characters (none for a probe, 0).
struct ToWideRow {
  const char* name;
  UINT codePage;
  DWORD flags;
  Bytes input;
  bool withNull;  // -1 as the length: the text up to and with its null
  int cchOutput;
  int result;  // kOutputLength: the length of output, plus one withNull
  DWORD lastError;
  const wchar_t* output;  // what the buffer holds afterwards
  Where where = Everywhere();
};

constexpr int kOutputLength = -100;

const ToWideRow kToWide[] = {
    {"utf8", CP_UTF8, 0, B("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"), false, 16, kOutputLength, 0,
     L"a\u00E9\u20AC\U0001F600"},
    {"utf8_minus_one_counts_the_null", CP_UTF8, 0, B("ab"), true, 16, 3, 0, L"ab"},
    {"utf8_probe", CP_UTF8, 0, B("a\xC3\xA9"), false, 0, 2, 0, L""},
    {"utf8_short_buffer_fills_what_fits", CP_UTF8, 0, B("abcd"), false, 2, 0,
     ERROR_INSUFFICIENT_BUFFER, L"ab"},
    {"utf8_truncated_sequence", CP_UTF8, 0, B("a\xE2\x82"), false, 16, kOutputLength, 0,
     L"a\xFFFD"},
    {"utf8_truncated_sequence_then_ascii", CP_UTF8, 0, B("\xE2\x82\x41"), false, 16, kOutputLength,
     0, L"\xFFFD\x41"},
    {"utf8_overlong", CP_UTF8, 0, B("\xC0\xAF"), false, 16, kOutputLength, 0, L"\xFFFD\xFFFD"},
    {"utf8_overlong_three", CP_UTF8, 0, B("\xE0\x80\x80"), false, 16, kOutputLength, 0,
     L"\xFFFD\xFFFD"},
    {"utf8_encoded_surrogate", CP_UTF8, 0, B("\xED\xA0\x80"), false, 16, kOutputLength, 0,
     L"\xFFFD\xFFFD"},
    {"utf8_above_unicode", CP_UTF8, 0, B("\xF4\x90\x80\x80"), false, 16, kOutputLength, 0,
     L"\xFFFD\xFFFD\xFFFD"},
    {"utf8_truncated_four", CP_UTF8, 0, B("\xF0\x9F\x98"), false, 16, kOutputLength, 0, L"\xFFFD"},
    {"utf8_five_byte_form", CP_UTF8, 0, B("\xF8\x88\x80\x80\x80"), false, 16, kOutputLength, 0,
     L"\xFFFD\xFFFD\xFFFD\xFFFD\xFFFD"},
    {"utf8_lone_continuation", CP_UTF8, 0, B("a\x80z"), false, 16, kOutputLength, 0, L"a\xFFFDz"},
    {"utf8_lead_at_the_end", CP_UTF8, 0, B("a\xC3"), false, 16, kOutputLength, 0, L"a\xFFFD"},
    {"utf8_replacement_character_itself", CP_UTF8, kInvalidCharsM, B("\xEF\xBF\xBD"), false, 16, 1,
     0, L"\xFFFD"},
    {"utf8_invalid_refused_after_filling", CP_UTF8, kInvalidCharsM, B("ab\xC3"), false, 16, 0,
     ERROR_NO_UNICODE_TRANSLATION, L"ab\xFFFD"},
    {"utf8_refuses_precomposed", CP_UTF8, kPrecomposed, B("a"), false, 16, 0, ERROR_INVALID_FLAGS,
     L"", NotUnderWine("Wine takes MB_PRECOMPOSED for CP_UTF8")},
    {"ansi_1252", 1252, 0, B("\xE9\x80\x81\x8D\x8F\x90\x9D\x9F"), false, 16, kOutputLength, 0,
     L"\u00E9\u20AC\u0081\u008D\u008F\u0090\u009D\u0178"},
    {"ansi_1252_precomposed", 1252, kPrecomposed, B("\xE9"), false, 16, 1, 0, L"\u00E9"},
    {"ansi_1252_every_byte_is_valid", 1252, kInvalidCharsM, B("\x81\x8D"), false, 16, 2, 0,
     L"\u0081\u008D"},
    {"latin1_28591", 28591, 0, B("\xE9\x80"), false, 16, kOutputLength, 0, L"\u00E9\u0080"},
    {"latin9_28605", 28605, 0, B("\xA4"), false, 16, kOutputLength, 0, L"\u20AC"},
    {"probe", 1252, 0, B("abc"), false, 0, 3, 0, L""},
    {"short_buffer", 1252, 0, B("abcd"), false, 2, 0, ERROR_INSUFFICIENT_BUFFER, L"ab"},
    {"one_character_buffer", 1252, 0, B("ab"), false, 1, 0, ERROR_INSUFFICIENT_BUFFER, L"a"},
    {"unknown_flag", 1252, 0x10000000, B("a"), false, 16, 0, ERROR_INVALID_FLAGS, L""},
    {"unknown_code_page", 12345, 0, B("a"), false, 16, 0, ERROR_INVALID_PARAMETER, L""},
    {"empty_length", 1252, 0, B(""), false, 16, 0, ERROR_INVALID_PARAMETER, L""},
    // A double-byte page reads a lead byte and the byte after it as one character, its default
    // one when the pair is undefined or the lead byte ends the text or stands before its null.
    {"shift_jis_932_undefined_pairs", 932, 0, B("\x81\x7F\x80\xA0\x81"), false, 16, kOutputLength,
     0, L"\u30FB\u0080\uF8F0\u30FB"},
    {"gbk_936_undefined_pairs", 936, 0,
     B("\x81\x7F"
       "a\xFF\x81"),
     false, 16, kOutputLength, 0, L"?a\uF8F5?"},
    {"gbk_936_lead_byte_before_the_null", 936, 0, B("x\x81"), true, 16, kOutputLength, 0, L"x?"},
    {"shift_jis_932_undefined_pair_refused", 932, kInvalidCharsM, B("a\x81\x7F"), false, 16, 0,
     ERROR_NO_UNICODE_TRANSLATION, L""},
    {"gb18030", 54936, 0, B("a\xA8\xA6"), false, 16, kOutputLength, 0, L"a\u00E9",
     NotUnderWine("code page 54936 is not installed")},
};

class MultiByteToWideCharContract : public ::testing::TestWithParam<ToWideRow> {};

TEST_P(MultiByteToWideCharContract, Holds) {
  const ToWideRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  const size_t cchBuffer = row.cchOutput > 0 ? static_cast<size_t>(row.cchOutput) : 0;
  std::vector<wchar_t> buffer(cchBuffer + 4, L'\x7F');
  std::string input(row.input.view());
  SetLastError(0);
  int result = MultiByteToWideChar(row.codePage, row.flags, input.c_str(),
                                   row.withNull ? -1 : static_cast<int>(input.size()),
                                   buffer.data(), row.cchOutput);
  const DWORD error = GetLastError();
  std::wstring output(row.output);
  int expected = row.result == kOutputLength
                     ? static_cast<int>(output.size()) + (row.withNull ? 1 : 0)
                     : row.result;
  EXPECT_EQ(result, expected);
  if (row.result == 0) {
    EXPECT_EQ(error, row.lastError);
  }
  EXPECT_EQ(contract::Show(std::wstring_view(buffer.data(), output.size())),
            contract::Show(output));
  // Read up to the null, the null is written too; a conversion refused for another reason than
  // a short buffer may leave anything within the buffer.
  size_t written = output.size() + (row.withNull && result > 0 ? 1 : 0);
  if (written > output.size()) {
    EXPECT_EQ(buffer[output.size()], L'\0');
  }
  bool refused = result == 0 && error != ERROR_INSUFFICIENT_BUFFER;
  for (size_t i = refused ? cchBuffer : written; i < buffer.size(); ++i) {
    EXPECT_EQ(buffer[i], L'\x7F') << "char " << i;
  }
}

CONTRACT_TABLE(MultiByteToWideCharContract, kToWide)

// Windows' own tables, read and written both ways, as the program asks (without best fit) and
// without the flag: 932 keeps ASCII's backslash and tilde and has NEC's circled digits and a few
// single bytes glibc's table lacks; 874, 936, 949 and 950 have the euro sign, which TIS-620,
// GB2312, EUC-KR and Big5 do not; 936 has the middle dot and em dash at 0xA1A4 and 0xA1AA, 950
// the hyphenation point at 0xA145 and, of two pairs that read as one box-drawing character,
// writes the one Windows picks; 949 has every Hangul syllable. 28597 is the Greek set of 1987,
// 28598 has the overline, 21866 Belarusian's short u; 1255 and 1258 read each byte as it stands
// (a letter that a mark may follow too); a byte a page leaves undefined is a private-use
// character.
struct CodePageRow {
  const char* name;
  UINT codePage;
  Bytes bytes;
  const wchar_t* text;
  Where where = Everywhere();
};

const CodePageRow kCodePageTables[] = {
    {"shift_jis_932", 932, B("\x5C\x7E\x87\x40\x82\xA0"), L"\\~\u2460\u3042"},
    {"shift_jis_932_single_bytes", 932, B("\x80\xA0\xFF"), L"\u0080\uF8F0\uF8F3"},
    {"thai_874", 874, B("\x80\xA1"), L"\u20AC\u0E01"},
    {"gbk_936", 936, B("\x80\xD6\xD0\xA1\xA4\xA1\xAA"), L"\u20AC\u4E2D\u00B7\u2014"},
    {"korean_949", 949, B("\xA2\xE6\x81\x41\xB0\xA1"), L"\u20AC\uAC02\uAC00"},
    {"big5_950", 950, B("\xA3\xE1\xA1\x45\xA4\xA4"), L"\u20AC\u2027\u4E2D"},
    {"big5_950_box_drawing", 950, B("\xF9\xF9\xF9\xEA"), L"\u2550\u256A"},
    {"koi8_r_20866", 20866, B("\xC1\x80"), L"\u0430\u2500"},
    {"greek_28597_of_1987", 28597, B("\xA1\xA2\xA4\xE1"), L"\u02BD\u02BC\uF7C2\u03B1"},
    {"hebrew_28598_overline", 28598, B("\xAF\xE0\xFD"), L"\u203E\u05D0\uF7BF"},
    {"koi8_u_21866_short_u", 21866, B("\xAE\xBE\xA4"), L"\u045E\u040E\u0454"},
    {"hebrew_1255", 1255, B("\xE0\xC8\xCA\xD9"), L"\u05D0\u05B8\u05BA\uF88D"},
    {"vietnamese_1258", 1258, B("\xC3\xD0\xCC\xE0"), L"\u0102\u0110\u0300\u00E0"},
    {"undefined_bytes_private_use", 1253, B("\xAA\xD2\x81"), L"\uF8F9\uF8FA\u0081"},
};

class CodePageTableContract : public ::testing::TestWithParam<CodePageRow> {};

TEST_P(CodePageTableContract, Holds) {
  const CodePageRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  std::string bytes(row.bytes.view());
  std::wstring text(row.text);
  wchar_t wide[16] = {};
  EXPECT_EQ(
      MultiByteToWideChar(row.codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide, 16),
      static_cast<int>(text.size()));
  EXPECT_EQ(contract::Show(std::wstring_view(wide, text.size())), contract::Show(text));
  for (DWORD flags : {kNoBestFit, DWORD{0}}) {
    char written[16] = {};
    BOOL used = TRUE;
    EXPECT_EQ(WideCharToMultiByte(row.codePage, flags, text.data(), static_cast<int>(text.size()),
                                  written, sizeof(written), nullptr, &used),
              static_cast<int>(bytes.size()))
        << "flags " << flags;
    EXPECT_EQ(contract::Show(std::string_view(written, bytes.size())), contract::Show(bytes))
        << "flags " << flags;
    EXPECT_FALSE(used) << "flags " << flags;
  }
}

CONTRACT_TABLE(CodePageTableContract, kCodePageTables)

// A single-byte code page reads every byte as one character, a byte it does not define too (as
// its C1 control or a private-use character), and writes that character back as the same byte
// without a default. The characters themselves are rows of the table above.
struct EveryByteRow {
  const char* name;
  UINT codePage;
  Where where = Everywhere();
};

const EveryByteRow kEveryByte[] = {
    {"latin1_28591", 28591}, {"latin2_28592", 28592},   {"latin3_28593", 28593},
    {"baltic_28594", 28594}, {"cyrillic_28595", 28595}, {"arabic_28596", 28596},
    {"greek_28597", 28597},  {"hebrew_28598", 28598},   {"turkish_28599", 28599},
    {"baltic_28603", 28603}, {"latin9_28605", 28605},   {"ansi_1250", 1250},
    {"ansi_1251", 1251},     {"ansi_1252", 1252},       {"ansi_1253", 1253},
    {"ansi_1254", 1254},     {"ansi_1255", 1255},       {"ansi_1256", 1256},
    {"ansi_1257", 1257},     {"ansi_1258", 1258},       {"thai_874", 874},
    {"koi8_r_20866", 20866}, {"koi8_u_21866", 21866},
};

class EveryByteContract : public ::testing::TestWithParam<EveryByteRow> {};

TEST_P(EveryByteContract, Holds) {
  const EveryByteRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  for (unsigned b = 0x80; b <= 0xFF; ++b) {
    const char byte = static_cast<char>(b);
    wchar_t c[2] = {};
    ASSERT_EQ(MultiByteToWideChar(row.codePage, 0, &byte, 1, c, 2), 1) << std::hex << b;
    EXPECT_NE(c[0], L'\xFFFD') << std::hex << "byte " << b;
    char back[4] = {};
    BOOL used = FALSE;
    EXPECT_EQ(
        WideCharToMultiByte(row.codePage, kNoBestFit, c, 1, back, sizeof(back), nullptr, &used), 1)
        << std::hex << "byte " << b;
    EXPECT_EQ(static_cast<unsigned char>(back[0]), b) << std::hex << "U+" << unsigned(c[0]);
    EXPECT_FALSE(used) << std::hex << "byte " << b;
  }
}

CONTRACT_TABLE(EveryByteContract, kEveryByte)

// CharLowerBuffW and CharUpperBuffW map in place and answer the length; the same for every user
// locale.
struct CaseRow {
  const char* name;
  bool lower;
  const wchar_t* input;
  const wchar_t* output;
  Where where = Everywhere();
};

const CaseRow kCase[] = {
    {"lower_ascii", true, L"ALICE-Bob_1", L"alice-bob_1"},
    {"upper_ascii", false, L"alice-Bob_1", L"ALICE-BOB_1"},
    // The letters at both ends of the alphabet, and the characters just outside it.
    {"lower_ascii_bounds", true, L"@AZ[`az{", L"@az[`az{"},
    {"upper_ascii_bounds", false, L"@AZ[`az{", L"@AZ[`AZ{"},
    {"lower_latin", true, L"\u00C9\u00D6\u00DE", L"\u00E9\u00F6\u00FE"},
    {"upper_latin", false, L"\u00E9\u00F6\u00FF", L"\u00C9\u00D6\u0178"},
    {"sharp_s_has_no_single_upper_case", false, L"\u00DF", L"\u00DF"},
    {"lower_greek", true, L"\u03A3\u0391", L"\u03C3\u03B1"},
    {"upper_greek_final_sigma_stays", false, L"\u03C2\u03C3", L"\u03C2\u03A3"},
    {"dotted_capital_i_stays", true, L"\u0130", L"\u0130"},
    {"dotless_small_i_stays", false, L"\u0131", L"\u0131"},
    {"micro_sign_and_long_s_stay", false, L"\u00B5\u017F", L"\u00B5\u017F"},
    {"title_case_letter_stays", true, L"\u01C5", L"\u01C5"},
    {"ohm_kelvin_angstrom_signs_stay", true, L"\u2126\u212A\u212B", L"\u2126\u212A\u212B"},
    {"capital_sharp_s_stays", true, L"\u1E9E", L"\u1E9E"},
    {"lower_cyrillic", true, L"\u0416\u0401", L"\u0436\u0451"},
    {"digits_and_symbols_stay", true, L"1-2_3 \u20AC", L"1-2_3 \u20AC"},
    // A letter beyond the BMP (Deseret) is mapped too, its surrogate pair as one character.
    {"lower_beyond_the_bmp", true, L"\U00010400", L"\U00010428"},
    {"upper_beyond_the_bmp", false, L"\U00010428", L"\U00010400"},
};

class CaseContract : public ::testing::TestWithParam<CaseRow> {};

TEST_P(CaseContract, Holds) {
  const CaseRow& row = GetParam();
  CONTRACT_SKIP_UNLESS_IT_HOLDS(row.where);
  std::wstring text(row.input);
  auto cch = static_cast<DWORD>(text.size());
  DWORD result = row.lower ? CharLowerBuffW(text.data(), cch) : CharUpperBuffW(text.data(), cch);
  EXPECT_EQ(result, cch);
  EXPECT_EQ(contract::Show(text), contract::Show(row.output));
}

CONTRACT_TABLE(CaseContract, kCase)

// The ANSI code page is one that the conversions take, and CP_ACP converts as its number does:
// characters outside ASCII alike, and WC_NO_BEST_FIT_CHARS taken or refused alike (the program
// picks its flags by the number GetACP gives).
TEST(AnsiCodePageContract, ConvertsAsItsNumber) {
  UINT acp = GetACP();
  const wchar_t text[] = L"a\u00E9\u20AC\u0416\u00A5";
  for (DWORD flags : {DWORD{0}, DWORD{WC_NO_BEST_FIT_CHARS}}) {
    char viaAcp[32] = {};
    char viaNumber[32] = {};
    SetLastError(0);
    int a = WideCharToMultiByte(CP_ACP, flags, text, 5, viaAcp, sizeof(viaAcp), nullptr, nullptr);
    DWORD acpError = GetLastError();
    SetLastError(0);
    int n =
        WideCharToMultiByte(acp, flags, text, 5, viaNumber, sizeof(viaNumber), nullptr, nullptr);
    EXPECT_EQ(a, n) << acp << " " << flags;
    EXPECT_EQ(acpError, GetLastError()) << acp << " " << flags;
    EXPECT_STREQ(viaAcp, viaNumber) << acp << " " << flags;
    // With the flags the program picks the text converts whole, "?" for what the page lacks.
    DWORD programFlags = acp == CP_UTF8 || acp == 54936 ? 0 : WC_NO_BEST_FIT_CHARS;
    if (flags == programFlags) {
      EXPECT_GE(a, 5) << acp;
    }
  }
}

// The command line holds the program and then each of its arguments, in their order: the
// program reads its one argument after the program's own word.
TEST(CommandLineContract, HoldsTheProgramAndItsArguments) {
  const wchar_t* line = GetCommandLineW();
  ASSERT_NE(line, nullptr);
  std::wstring text(line);
  EXPECT_NE(text.find(L"contract"), std::wstring::npos) << contract::Show(text);
  EXPECT_EQ(GetCommandLineW(), line) << "the same line on every call";
  // The program's word ends at its closing quote, or else at the first blank; without arguments
  // nothing but blanks follows it.
  size_t at = text[0] == L'"' ? text.find(L'"', 1) : text.find(L' ');
  if (contract::Arguments().empty()) {
    EXPECT_TRUE(at == std::wstring::npos ||
                text.find_first_not_of(L' ', at + 1) == std::wstring::npos)
        << contract::Show(text);
    return;
  }
  ASSERT_NE(at, std::wstring::npos) << "no argument after the program: " << contract::Show(text);
  for (const std::string& argument : contract::Arguments()) {
    std::wstring wide(argument.begin(), argument.end());
    at = text.find(wide, at);
    ASSERT_NE(at, std::wstring::npos) << argument << " in " << contract::Show(text);
    at += wide.size();
  }
}

}  // namespace
