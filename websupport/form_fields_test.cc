#include "websupport/form_fields.h"

#include <gtest/gtest.h>

#include <climits>
#include <string>

namespace gatekeeper {
namespace {

TEST(FormFieldsTest, RepeatedNamesCollectValuesInOneFieldIgnoringCase) {
  FormFields fields;
  fields.insert("a", "1");
  fields.insert("b", "x");
  fields.insert("A", "2");
  ASSERT_EQ(fields.count(), 2);
  const FormField& a = fields.field("A");
  EXPECT_EQ(a.name(), "a");  // the name as first received
  EXPECT_EQ(a.count(), 2);
  EXPECT_EQ(a.text(), "1");
  EXPECT_EQ(a.value(2).text(), "2");
  EXPECT_EQ(fields.at(2).name(), "b");
}

// Among thousands of fields every name still finds its own field, whatever its letter case
// (ISO-8859-1 letters included), and a value sent again joins the field that came first.
TEST(FormFieldsTest, ManyFieldsEachFoundByNameIgnoringCase) {
  FormFields fields;
  for (int i = 0; i < 3000; ++i) fields.insert("Field" + std::to_string(i), std::to_string(i));
  fields.insert("J\xD6RG", "upper");
  fields.insert("", "nameless");
  fields.insert("j\xF6rg", "lower");
  fields.insert("FIELD2999", "again");
  ASSERT_EQ(fields.count(), 3002);
  const struct {
    const char* name;
    const char* text;
    int count;
  } cases[] = {{"field0", "0", 1},       {"FIELD1234", "1234", 1}, {"Field2999", "2999", 2},
               {"j\xF6rg", "upper", 2}, {"field3000", "", 1},     {"", "", 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(fields.field(c.name).text(), c.text) << c.name;
    EXPECT_EQ(fields.field(c.name).count(), c.count) << c.name;
  }
  EXPECT_EQ(fields.at(3002).text(), "nameless");
}

TEST(FormFieldsTest, MissesReadAsTheSharedEmptyObjects) {
  FormFields fields;
  fields.insert("b", "");
  fields.insert("", "nameless");
  EXPECT_EQ(&fields.field("missing"), &FormField::empty());
  EXPECT_EQ(&fields.field(""), &FormField::empty());  // nameless fields are never found
  EXPECT_EQ(&fields.at(0), &FormField::empty());
  EXPECT_EQ(&fields.at(3), &FormField::empty());
  EXPECT_EQ(FormField::empty().count(), 1);
  EXPECT_EQ(FormField::empty().text(), "");
  EXPECT_EQ(FormField::empty().number(), 0);

  const FormField& b = fields.field("B");
  EXPECT_EQ(b.text(), "");
  EXPECT_EQ(b.number(), 0);
  EXPECT_EQ(&b.value(0), &FormValue::empty());
  EXPECT_EQ(&b.value(2), &FormValue::empty());
}

TEST(FormFieldsTest, NumberReadsLikePercentD) {
  struct Case {
    const char* text;
    int number;
  } cases[] = {
      {"12abc", 12},       {" -3", -3},          {"\t+7", 7},         {"abc", 0},
      {"", 0},             {"-", 0},             {"- 3", 0},          {"007", 7},
      {"2147483647", INT_MAX}, {"99999999999", INT_MAX}, {"-2147483648", INT_MIN},
      {"-99999999999999999999", INT_MIN},
  };
  for (const Case& c : cases) {
    FormFields fields;
    fields.insert("n", c.text);
    EXPECT_EQ(fields.field("n").number(), c.number) << '"' << c.text << '"';
  }
}

}  // namespace
}  // namespace gatekeeper
