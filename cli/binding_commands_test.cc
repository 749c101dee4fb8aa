// The binding commands on a scratch database: the listing as text and JSON, adding and deleting
// with the key the page builds and what is saved, the pages' refusals, and the warning about a
// binding to an authority that is not there.
#include "cli/binding_commands.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/cli_test_support.h"
#include "platform/scratch_directory.h"

namespace gatekeeper::cli {
namespace {

class BindingCommandsTest : public ::testing::Test, public CliTest {
 protected:
  // The saved bindings as "key=authority " in slot order.
  std::string savedBindings() {
    const ConfigSection* servers = saved().sectionByName("MAIN")->sectionByName("SERVERS");
    std::string text;
    for (int32_t slot = 1; slot <= servers->count(); ++slot) {
      const ConfigValue* binding = servers->valueByIndex(slot);
      if (!binding->isPlaceholder()) {
        text += std::string(binding->name()) + "=" + binding->getString() + " ";
      }
    }
    return text;
  }
};

TEST_F(BindingCommandsTest, AddListAndDeleteAsThePageKeysThem) {
  struct Case {
    std::vector<std::string> arguments;
    const char* out;
    const char* bindings;
  };
  const Case cases[] = {
      {{"binding", "add", "intranet", "80", "Staff"},
       "Users connecting to intranet:80 will be authenticated in authority: Staff .\n",
       "intranet=Staff "},
      {{"binding", "add", "intranet", "8080", "staff"},
       "Users connecting to intranet:8080 will be authenticated in authority: staff .\n",
       "intranet=Staff intranet|8080=staff "},
      {{"binding", "add", "10.0.0.5", "080", "Staff"},
       "Users connecting to 10.0.0.5:080 will be authenticated in authority: Staff .\n",
       "intranet=Staff intranet|8080=staff 10.0.0.5=Staff "},
      {{"binding", "del", "INTRANET", "8080"}, "Binding for intranet|8080 deleted.\n",
       "intranet=Staff 10.0.0.5=Staff "},
      {{"binding", "del", "10.0.0.5", "80"}, "Binding for 10.0.0.5 deleted.\n",
       "intranet=Staff "},
  };
  for (const Case& c : cases) {
    const RunOutput result = run(c.arguments);
    EXPECT_EQ(result.status, 0) << result.err;
    EXPECT_EQ(result.out, c.out);
    EXPECT_EQ(result.err, "");
    EXPECT_EQ(savedBindings(), c.bindings) << c.out;
  }
  ASSERT_EQ(run({"binding", "add", "extranet", "8443", "Staff"}).status, 0);
  EXPECT_EQ(run({"binding", "list"}).out,
            "Host      Port  Authority  Binding key\n"
            "intranet  80    Staff      intranet\n"
            "extranet  8443  Staff      extranet|8443\n");
  EXPECT_EQ(run({"binding", "list", "--json"}).out,
            "[\n"
            "  {\"host\": \"intranet\", \"port\": \"80\", \"authority\": \"Staff\", "
            "\"key\": \"intranet\"},\n"
            "  {\"host\": \"extranet\", \"port\": \"8443\", \"authority\": \"Staff\", "
            "\"key\": \"extranet|8443\"}\n"
            "]\n");
  ASSERT_EQ(run({"binding", "del", "intranet", "80"}).status, 0);
  ASSERT_EQ(run({"binding", "del", "extranet", "8443"}).status, 0);
  EXPECT_EQ(run({"binding", "list", "--json"}).out, "[]\n");
  EXPECT_EQ(run({"binding", "list"}).out, "Host  Port  Authority  Binding key\n");
}

TEST_F(BindingCommandsTest, RefusalsInThePagesWordsStoreNothing) {
  struct Case {
    std::vector<std::string> arguments;
    const char* err;
  };
  const Case cases[] = {
      {{"binding", "add", "h", "0", "Staff"},
       "Invalid TCP port specified (0). Please click back button of your browser and correct "
       "port value.\n"},
      {{"binding", "add", "h", "http", "Staff"},
       "Invalid TCP port specified (http). Please click back button of your browser and correct "
       "port value.\n"},
      {{"binding", "add", "", "80", "Staff"}, "Invalid host name specified !\n"},
      {{"binding", "add", "other|8080", "80", "Staff"},
       "Host name contains characters that can not be stored !\n"},
      {{"binding", "add", "h\x1b[2J", "80", "Staff"},
       "Host name contains characters that can not be stored !\n"},
      {{"binding", "add", "h", "81=x", "Staff"},
       "TCP port contains characters that can not be stored !\n"},
      {{"binding", "add", "h", "80", "St;aff"},
       "Authority name contains characters that can not be stored !\n"},
      {{"binding", "add", "INTRANET", "8080", "Staff"},
       "Binding for INTRANET:8080 already exist !\n"},
      {{"binding", "del", "--", "intranet", "-1"},
       "Invalid TCP port specified (-1). Please click back button of your browser and correct "
       "port value.\n"},
      {{"binding", "del", "intranet", "80"}, "Binding for intranet not found !\n"},
      {{"binding", "del", "intranet", "8081"}, "Binding for intranet|8081 not found !\n"},
  };
  ASSERT_EQ(run({"binding", "add", "intranet", "8080", "Staff"}).status, 0);
  const std::string before = platform::readWholeFile(databasePath());
  for (const Case& c : cases) {
    const RunOutput result = run(c.arguments);
    EXPECT_EQ(result.status, 1) << c.err;
    EXPECT_EQ(result.err, c.err);
    EXPECT_EQ(result.out, "");
  }
  EXPECT_EQ(platform::readWholeFile(databasePath()), before);
}

TEST_F(BindingCommandsTest, ABindingToNoAuthorityIsStoredWithAWarning) {
  const RunOutput result = run({"binding", "add", "intranet", "80", "Partners"});
  EXPECT_EQ(result.status, 0);
  EXPECT_EQ(result.out,
            "Users connecting to intranet:80 will be authenticated in authority: Partners .\n");
  EXPECT_EQ(result.err,
            "Warning: there is no authority Partners - the filter refuses every user of the site "
            "until it is added\n");
  EXPECT_EQ(savedBindings(), "intranet=Partners ");
  // Adding the authority afterwards makes the binding work; the command no longer warns.
  ASSERT_EQ(run({"authority", "add", "partners"}).status, 0);
  EXPECT_EQ(run({"binding", "add", "extranet", "80", "Partners"}).err, "");
}

}  // namespace
}  // namespace gatekeeper::cli
