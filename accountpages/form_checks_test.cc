// The result lines of the shared field checks.
#include "accountpages/form_checks.h"

#include <gtest/gtest.h>

#include <string>

#include "websupport/response_writer.h"

namespace gatekeeper {
namespace {

TEST(FormChecksTest, RefusalsNameTheField) {
  struct Case {
    std::string name;
    std::string password;
    const char* page;
  };
  const Case cases[] = {
      {"guest", "secret", ""},
      {"a]b", "secret", "Authority name contains characters that can not be stored !\n"},
      {"guest", "two\nlines", "Password can not contain line breaks !\n"},
      {"guest", std::string(1024, 'p'), "Password is too long to be stored !\n"},
  };
  for (const Case& c : cases) {
    ResponseCapture page;
    const bool passed =
        checkStorableName("Authority name", c.name) && checkStorablePassword(c.password);
    EXPECT_EQ(passed, *c.page == '\0');
    EXPECT_EQ(page.text(), c.page);
  }
  ResponseCapture page;
  EXPECT_TRUE(checkStorableBindingHost("Host name", "intranet"));
  EXPECT_FALSE(checkStorableBindingHost("Host name", "intranet|8080"));
  EXPECT_EQ(page.text(), "Host name contains characters that can not be stored !\n");
}

}  // namespace
}  // namespace gatekeeper
