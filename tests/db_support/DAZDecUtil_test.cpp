#include "db/support/DAZDecUtil.h"

#include <gtest/gtest.h>

namespace {

String Mime(const String& bytes) { return StringFormat_MIME64.StrTo(bytes.data(), static_cast<int>(bytes.size())); }
String Unmime(const String& text) { return StringFormat_MIME64.ToStr(text.data(), static_cast<int>(text.size())); }

template <class E>
String MessageOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const E& e) {
    return e.Message;
  }
  return "no exception";
}

}  // namespace

TEST(StringFormatTest, Base64Rfc4648VectorsBothWays) {
  const std::pair<const char*, const char*> vectors[] = {{"", ""},         {"f", "Zg=="},         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},  {"foob", "Zm9vYg=="},  {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"}};
  for (const auto& [bytes, text] : vectors) {
    EXPECT_EQ(Mime(bytes), text);
    EXPECT_EQ(Unmime(text), bytes);
    EXPECT_EQ(BytesToFormat(String(bytes), -1), text);
    EXPECT_EQ(FormatToBytes(String(text), 4196), bytes);
  }
  const String all = [] {
    String s;
    for (int i = 0; i < 256; ++i) s += static_cast<char>(i);
    return s;
  }();
  EXPECT_EQ(Unmime(Mime(all)), all);
}

TEST(StringFormatTest, Base64DecodingOfLooseText) {
  EXPECT_EQ(Unmime("YWI"), "ab");  // padded before decoding
  // Line breaks and blanks are skipped without adding zero bytes.
  EXPECT_EQ(Unmime("YWJj\r\n"), "abc");
  EXPECT_EQ(Unmime("Zm9v\r\nYmFy\r\n"), "foobar");
  EXPECT_EQ(Unmime(" Zm9vYg = = "), "foob");
  // The registry's conversion refuses such text instead.
  EXPECT_EQ(MessageOf<EStringFormat>([] { FormatToBytes(String("YWJj\r\n"), 4196); }),
            "Input is not an valid MIME Base 64 Format.");
}

TEST(StringFormatTest, RegistryLookupAndReplacement) {
  EXPECT_EQ(LookupStringFormat(-1), &StringFormat_MIME64);
  EXPECT_EQ(LookupStringFormat(16), &StringFormat_HEX);
  EXPECT_EQ(LookupStringFormat(2), nullptr);
  EXPECT_EQ(MessageOf<EStringFormat>([] { BytesToFormat(String("x"), 2); }), "String Format \"2\" not exists.");
  EXPECT_EQ(BytesToFormat(String("raw"), 1), "raw");
  EXPECT_EQ(BytesToFormat(String("raw"), 0), "");

  // The formats without an alphabet fail on input, not on empty input.
  EXPECT_EQ(MessageOf<Exception>([] { BytesToFormat(String("x"), 16); }), "Not Implemented 2");
  EXPECT_EQ(MessageOf<Exception>([] { StringFormat_XX.StrTo("x", 1); }), "Not implemented 6");
  EXPECT_EQ(StringFormat_UU.StrTo("", 0), "");

  struct OtherHex : TStringFormat_HEX {
    String ClassName() const override { return "TStringFormat_OtherHex"; }
    String Name() const override { return TStringFormat::Name(); }
  };
  static const OtherHex other;
  const auto before = RegisteredStringFormats();
  AddStringFormats({&other});
  auto after = RegisteredStringFormats();
  ASSERT_EQ(after.size(), before.size());
  EXPECT_EQ(after[1], &other);
  EXPECT_EQ(other.Name(), "OtherHex");
  AddStringFormats({&StringFormat_HEX});
  EXPECT_EQ(RegisteredStringFormats(), before);
}

TEST(ProtectionTest, ChainsRefuseCycles) {
  auto a = std::make_shared<TProtection>();
  auto b = std::make_shared<TProtection>(a);
  auto c = std::make_shared<TProtection>(b);
  EXPECT_THROW(a->SetProtection(c), EProtection);
  EXPECT_THROW(a->SetProtection(a), EProtection);
  EXPECT_EQ(a->GetProtection(), nullptr);
  c->SetProtection(a);  // dropping b from the chain is fine
  EXPECT_EQ(c->GetProtection(), a);
  EXPECT_EQ(MessageOf<Exception>([&] { a->Identity(); }), "Not implemented 13");
}
