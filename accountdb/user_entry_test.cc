// User entries: the values and their order, the unmapped user without MapTo, lookups that
// never take an authority's own value for a user; the date warnings of the user pages.
#include "accountdb/user_entry.h"

#include <gtest/gtest.h>

#include <string>

#include "accountdb/database_names.h"
#include "accountdb/expiry_date.h"

namespace gatekeeper::accountdb {
namespace {

// "name=item" for every value of the section, in slot order.
std::string valuesOf(const ConfigSection& section) {
  std::string listed;
  for (int32_t slot = 1; slot <= section.count(); ++slot) {
    const ConfigValue* value = section.valueByIndex(slot);
    if (value->isPlaceholder()) continue;
    listed += std::string(value->name()) + "=";
    listed += value->indexOfType(kItemString) != 0 ? value->getString()
                                                   : std::to_string(value->getInt());
    listed += ";";
  }
  return listed;
}

TEST(UserEntryTest, ValuesInTheirOrderAndMapToOnlyForAMappedUser) {
  struct Case {
    bool mapped;
    const char* values;
  };
  const Case cases[] = {
      {true, "Password=Secret;DoNotMap=0;MapTo=webuser;expiredate=3/15/2001;noexpiration=1;"
             "disabled=0;"},
      {false, "Password=Secret;DoNotMap=1;expiredate=3/15/2001;noexpiration=1;disabled=0;"},
  };
  for (const Case& c : cases) {
    ConfigSection user("john");
    UserEntry entry;
    entry.password = "Secret";
    entry.mapped = c.mapped;
    entry.ntAccount = "webuser";
    entry.expireDate = "3/15/2001";
    entry.noExpiration = 1;
    writeUserEntry(user, entry);
    EXPECT_EQ(valuesOf(user), c.values);
  }
}

TEST(UserEntryTest, UsersAreSectionsNeverTheAuthoritysValues) {
  ConfigSection authority("Staff");
  authority.setInt(kExpirationRequired, 1);
  authority.createSection("John");
  EXPECT_EQ(findUser(authority, "JOHN"), authority.sectionByName("John"));
  EXPECT_TRUE(findUser(authority, kExpirationRequired)->isPlaceholder());
  EXPECT_TRUE(findUser(authority, "")->isPlaceholder());
  EXPECT_TRUE(isAuthorityValueName(authority, "expirationrequired"));
  EXPECT_FALSE(isAuthorityValueName(authority, "John"));
  EXPECT_FALSE(isAuthorityValueName(authority, ""));
}

TEST(ExpiryDateWarningTest, WarnsAboutUnreadableDatesAndYearsAfter2037) {
  struct Case {
    const char* text;
    ExpiryDateWarning warning;
  };
  const Case cases[] = {
      {"", ExpiryDateWarning::kNone},
      {"12/31/2037", ExpiryDateWarning::kNone},
      {"13/45/2001", ExpiryDateWarning::kNone},  // rolls over; the filter accepts it
      {"1/1/2038", ExpiryDateWarning::kAfterLastYear},
      {"2038-01-01", ExpiryDateWarning::kUnreadable},
      {"never", ExpiryDateWarning::kUnreadable},
      {"3/15", ExpiryDateWarning::kUnreadable},
  };
  for (const Case& c : cases) EXPECT_EQ(judgeExpiryDate(c.text), c.warning) << c.text;
}

}  // namespace
}  // namespace gatekeeper::accountdb
