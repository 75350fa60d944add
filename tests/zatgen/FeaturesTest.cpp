// What the type compiler generates for each kind of attribute, checked through a schema made for it.
#include <gtest/gtest.h>

#include <cstring>

#include "Zat/GenericIf.h"
#include "ZatgenTest/ZatgenTestTypes.h"
#include "support/TextChecks.h"

using namespace ZatgenTest;

namespace {
template <class T>
concept Ordered = requires(T const& a) {
   a < a;
};
template <class T>
concept Hashed = requires(T const& a) {
   a.hash(0u);
};
}  // namespace

using testing_text::rangeError;

TEST(ZatgenFeatures, ScalarKindsRenderAndParseBack) {
   Scalars s;
   EXPECT_FALSE(bool(s));  // defaults from the schema ('large' and 'label' below) are the default value
   EXPECT_EQ(Scalars::limit(), 65535);
   EXPECT_EQ(valueToStrep(s),
             Zat::String("Value('ZatgenTest::Scalars', ** {'small': 0, 'medium': 0, 'large': 7, "
                         "'huge': 0, 'flag': False, 'when': 0.0, 'label': 'x', 'colour': 'red'})"));
   s.smallIs(255);
   s.mediumIs(65535);
   s.largeIs(4294967295u);
   s.hugeIs(UINT64_MAX);
   s.flagIs(true);
   s.whenIs(1712345678.25);
   s.labelIs(Zat::String(std::string_view("it's\0", 5)));
   s.colourIs(Colour::blue);
   EXPECT_TRUE(bool(s));
   Zat::String text = valueToStrep(s);
   EXPECT_EQ(text, Zat::String(
                       "Value('ZatgenTest::Scalars', ** {'small': 255, 'medium': 65535, 'large': 4294967295, "
                       "'huge': 18446744073709551615, 'flag': True, 'when': 1712345678.25, "
                       "'label': 'it\\'s\\x00', 'colour': 'blue'})"));
   EXPECT_EQ(Zat::strepToValue<Scalars>(text.view()), s);
}

TEST(ZatgenFeatures, ParseErrorsNameTheAttribute) {
   auto parse = [](std::string const& t) { return [t] { Zat::strepToValue<Scalars>(t); }; };
   std::string good = valueToStrep(Scalars()).str();
   auto with = [&](std::string_view from, std::string_view to) {
      std::string t = good;
      t.replace(t.find(from), from.size(), to);
      return t;
   };
   // The offset is where the attribute's own text starts: just after its quoted name.
   auto at = [&](std::string_view name) { return std::to_string(good.find(name) + name.size()); };
   EXPECT_EQ(rangeError(parse(with("'small': 0", "'small': 256"))),
             "attribute 'small': number 256 out of range 0..255 at offset " + at("'small': "));
   EXPECT_EQ(rangeError(parse(with("'colour': 'red'", "'colour': 'mauve'"))),
             "attribute 'colour': 'mauve' is not an enumerator of ZatgenTest::Colour at offset " +
                 at("'colour': "));
   EXPECT_EQ(rangeError(parse(with("'flag': False", "'flag': false"))),
             "attribute 'flag': expected True or False at offset " + at("'flag': "));
   // A literal mismatch is reported by the literal itself, before any attribute is read.
   EXPECT_EQ(rangeError(parse(with("'medium': 0, ", ""))),
             "expected ', \\'medium\\': ' at offset " + std::to_string(good.find(", 'medium'")));
   EXPECT_EQ(rangeError(parse(good + " ")),
             "unexpected text ' ' after value at offset " + std::to_string(good.size()));
   EXPECT_EQ(rangeError(parse(with("Scalars", "Outer"))),
             "expected 'Value(\\'ZatgenTest::Scalars\\', ** {' at offset 0");
}

TEST(ZatgenFeatures, EnumerationSupport) {
   for (Colour c : {Colour::red, Colour::green, Colour::blue}) {  // both ends of the table and between
      EXPECT_EQ(ColourInstance(stringValue(c)), c);
      EXPECT_EQ(ColourInstance(unsigned(c)), c);
   }
   EXPECT_THROW(ColourInstance(3u), Zat::RangeException);
   EXPECT_THROW(ColourInstance(Zat::String("Green")), Zat::RangeException);
   EXPECT_EQ(valueToStrep(Colour::green), Zat::String("'green'"));
   EXPECT_EQ(Zat::strepToValue<Colour>("'blue'"), Colour::blue);
   EXPECT_THROW(Zat::strepToValue<Colour>("blue"), Zat::RangeException);
}

TEST(ZatgenFeatures, BareValueAndNesting) {
   Key k(Zat::String("a:b"));
   EXPECT_EQ(valueToStrep(k), Zat::String("'a:b'"));  // the attribute's own text, nothing around it
   EXPECT_EQ(Zat::strepToValue<Key>("'a:b'"), k);
   EXPECT_EQ(Zat::strepToValue<Key>("''"), Key());
   EXPECT_EQ(rangeError([] { Zat::strepToValue<Key>("a:b"); }),
             "attribute 'value': expected a quoted string at offset 0");

   Outer o(k);
   Scalars inner;
   inner.colourIs(Colour::green);
   o.innerIs(inner);
   o.prefixIs(Ipkit::IpGenPrefix("10.1.0.0/16"));
   Zat::String text = valueToStrep(o);
   EXPECT_EQ(
       text,
       Zat::String("Value('ZatgenTest::Outer', ** {'key': 'a:b', 'inner': Value('ZatgenTest::Scalars', ** "
                   "{'small': 0, 'medium': 0, 'large': 7, 'huge': 0, 'flag': False, 'when': 0.0, "
                   "'label': 'x', 'colour': 'green'}), 'prefix': '10.1.0.0/16'})"));
   EXPECT_EQ(Zat::strepToValue<Outer>(text.view()), o);
   // A nested value contributes its own hash(0) as one word.
   Zat::Hash h(5);
   h.hashMix<4>(k.hash(0)).hashMix<4>(inner.hash(0)).hashMix<4>(o.prefix().hashContribution());
   EXPECT_EQ(o.hash(5), h.result());
   EXPECT_EQ(o.describe("k=", 3), Zat::String("k=a:b#3"));
}

// A value with its own order keeps it wherever it is compared: directly and generically (as the key of an
// ordered collection, ZatgenEntities' concern). A value without order or hash has neither, and the generic
// interface says so.
TEST(ZatgenFeatures, OwnOrderNoOrderAndConstantsOfAnyValueType) {
   Ranked high(9), low(1);
   EXPECT_TRUE(high < low);
   EXPECT_FALSE(low < high);
   Zat::Any v;
   Zat::TypeInfo const& rt = Ranked::typeInfo();
   EXPECT_EQ(Zat::attrOp(rt, &high, 0, Zat::AttrOp::less, Zat::Any::of(low), v), Zat::attrOpDone);
   EXPECT_TRUE(v.as<bool>());

   static_assert(!Ordered<Loose> && !Hashed<Loose>);
   static_assert(Ordered<Ranked> && Hashed<Ranked>);
   Loose loose;
   loose.noteIs("n");
   EXPECT_EQ(Zat::attrOp(Loose::typeInfo(), &loose, 0, Zat::AttrOp::less, Zat::Any::of(loose), v),
             Zat::attrOpNotApplicable);
   EXPECT_EQ(Loose::typeInfo().value->hash, nullptr);
   EXPECT_EQ(Zat::Any::of(loose).strep(),
             Zat::String("Value('ZatgenTest::Loose', ** {'flag': False, 'note': 'n'})"));

   EXPECT_EQ(Root::defaultKey(), Key(Zat::String("k")));
   EXPECT_EQ(Root::period(), 1.5);
   EXPECT_EQ(joinNames("a", "b"), Zat::String("a+b"));
}

// Flags live in one integer: built from the raw value only when every set bit is a flag, set and cleared
// by name, one constant per flag, written and read back as the list of flags.
TEST(ZatgenFeatures, FlagSets) {
   Fields f(0x9);
   EXPECT_TRUE(f.alpha() && f.gamma() && !f.beta());
   EXPECT_EQ(Fields(Fields::mask).value(), 0xb);
   EXPECT_EQ(rangeError([] { Fields(0x4); }), "4 is not a value of ZatgenTest::Fields");
   EXPECT_THROW(Fields(0x10), Zat::RangeException);
   f.alphaIs(false);
   f.betaIs(true);
   f.betaIs(true);
   EXPECT_EQ(f.value(), 0xa);
   EXPECT_EQ(Fields::beta_().value(), 0x2);
   EXPECT_FALSE(bool(Fields()));
   Zat::String text = valueToStrep(f);
   EXPECT_EQ(text,
             Zat::String("Value('ZatgenTest::Fields', ** {'alpha': False, 'beta': True, 'gamma': True})"));
   EXPECT_EQ(Zat::strepToValue<Fields>(text.view()), f);
   Zat::Any v;
   EXPECT_EQ(Zat::attrOp(Fields::typeInfo(), &f, Fields::AttrId::gamma_, Zat::AttrOp::read, {}, v),
             Zat::attrOpDone);
   EXPECT_EQ(v.as<Fields>(), Fields::gamma_());
   v = Zat::Any::of(std::uint8_t(0x4));
   EXPECT_THROW(Zat::attrOp(Fields::typeInfo(), &f, Fields::AttrId::value, Zat::AttrOp::write, {}, v),
                Zat::RangeException);
   EXPECT_EQ(f.value(), 0xa);
}

// An ordered map inside a value: kept in its own key order, copied with the value, equal by content; a
// value that is only a collection renders as None.
TEST(ZatgenFeatures, OrderedMapInsideAValue) {
   Tally t;
   for (auto name : {"ccc", "a", "bb", "ab"}) t.countIs(name, std::uint32_t(std::strlen(name)));
   std::vector<std::string> keys;
   for (auto c = t.countIter(); c; ++c) keys.push_back(c.key().str());
   EXPECT_EQ(keys, (std::vector<std::string>{"a", "ab", "bb", "ccc"}));
   Tally copy = t;
   EXPECT_EQ(copy, t);
   EXPECT_EQ(copy.countDel("bb"), 2u);
   EXPECT_EQ(copy.countDel("bb"), 0u);
   EXPECT_FALSE(copy == t);
   copy.countIs("bb", 2);
   EXPECT_EQ(copy, t);
   EXPECT_EQ(valueToStrep(t), Zat::String("None"));
   EXPECT_EQ(t.count("zz"), 0u);
}

// A unit's event-log handle is built at load with the schema's texts; one that names four things is
// emitted with four arguments, the fourth in its own slot.
TEST(ZatgenFeatures, EventLogHandleOfFourArguments) {
   Zat::LogHandle const* h = Zat::LogHandle::find("ZATGEN_TEST_FOUR");
   ASSERT_EQ(h, &ZATGEN_TEST_FOUR);
   EXPECT_EQ(h->argCount(), 4u);
   EXPECT_EQ(h->recommendedAction(), Zat::CallSupportIfPersists);
   Zat::LogCapture capture;
   Zat::logEvent(ZATGEN_TEST_FOUR, "10.0.0.1", "src/fw", "blue", "00:1c:73:00:00:01");
   auto const seen = capture.take();
   ASSERT_EQ(seen.size(), 1u);
   EXPECT_EQ(seen[0].text,
             Zat::String("Unable to install rule for host 10.0.0.1 of firewall src/fw, VRF blue, "
                         "Switch ID 00:1c:73:00:00:01"));
   EXPECT_EQ(seen[0].args.arg(3), Zat::String("00:1c:73:00:00:01"));
}
