// The rules for site bindings: the key built from host and port, the order of the refusals and
// that a refusal changes nothing, the sections created, deletion, and the sentences.
#include "accountdb/binding_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "accountdb/database_names.h"

namespace gatekeeper::accountdb {
namespace {

// The bindings of root as "key=authority " in slot order.
std::string bindings(const ConfigSection& root) {
  const ConfigSection& servers = *root.sectionByName(kMain)->sectionByName(kServers);
  std::string text;
  for (int32_t slot = 1; slot <= servers.count(); ++slot) {
    const ConfigValue* binding = servers.valueByIndex(slot);
    if (!binding->isPlaceholder()) {
      text += std::string(binding->name()) + "=" + binding->getString() + " ";
    }
  }
  return text;
}

TEST(BindingRulesTest, KeyIsTheHostWithThePortTypedUnlessItReadsAs80) {
  const struct {
    BindingSite site;
    const char* key;
  } cases[] = {
      {{"intranet", "80", 80}, "intranet"},
      {{"intranet", "080", 80}, "intranet"},
      {{"intranet", "8080", 8080}, "intranet|8080"},
      {{"intranet", "8080x", 8080}, "intranet|8080x"},
      {{"10.0.0.5", " 81", 81}, "10.0.0.5| 81"},
  };
  for (const auto& c : cases) EXPECT_EQ(c.site.key(), c.key) << c.site.port;
}

TEST(BindingRulesTest, AddRefusesInOrderAndChangesNothing) {
  const struct {
    BindingSite site;
    const char* authority;
    BindingRefusal refusal;
  } cases[] = {
      {{"", "0", 0}, "", BindingRefusal::kInvalidPort},
      {{"h", "-1", -1}, "Staff", BindingRefusal::kInvalidPort},
      {{"", "80", 80}, "Staff", BindingRefusal::kEmptyHost},
      {{"a=b", "80", 80}, "a\nb", BindingRefusal::kUnstorableHost},
      {{"other|8080", "80", 80}, "Staff", BindingRefusal::kUnstorableHost},
      {{"intranet ", "80", 80}, "Staff", BindingRefusal::kUnstorableHost},
      {{"intranet", "81[x]", 81}, "a\nb", BindingRefusal::kUnstorableKey},
      {{"intranet", "80", 80}, "a\nb", BindingRefusal::kUnstorableAuthority},
      {{"INTRANET", "8080", 8080}, "Guests", BindingRefusal::kAlreadyExists},
      {{"NotABinding", "80", 80}, "Guests", BindingRefusal::kCannotAdd},
  };
  ConfigSection root;
  ConfigSection* servers = root.getOrCreateSection(kMain)->getOrCreateSection(kServers);
  servers->setString("intranet|8080", "Staff");
  servers->getOrCreateSection("NotABinding");
  for (const auto& c : cases) {
    EXPECT_EQ(addBinding(root, c.site, c.authority), c.refusal) << c.site.host;
    EXPECT_EQ(bindings(root), "intranet|8080=Staff ") << c.site.host;
  }
  ConfigSection noMain;
  noMain.setInt(kMain, 1);
  EXPECT_EQ(addBinding(noMain, {"h", "80", 80}, "Staff"), BindingRefusal::kNoMain);
  ConfigSection noServers;
  noServers.getOrCreateSection(kMain)->setInt(kServers, 1);
  EXPECT_EQ(addBinding(noServers, {"h", "80", 80}, "Staff"), BindingRefusal::kNoServers);
}

TEST(BindingRulesTest, AddCreatesTheSectionsAndRemoveTakesOnlyABinding) {
  ConfigSection root;
  EXPECT_EQ(addBinding(root, {"h<1>", "81", 81}, "Nobody"), BindingRefusal::kNone);
  EXPECT_EQ(addBinding(root, {"intranet", "080", 80}, "Staff"), BindingRefusal::kNone);
  EXPECT_EQ(bindings(root), "h<1>|81=Nobody intranet=Staff ");
  root.sectionByName(kMain)->sectionByName(kServers)->getOrCreateSection("section");
  EXPECT_EQ(removeBinding(root, "section"), BindingRefusal::kNotFound);
  EXPECT_EQ(removeBinding(root, "h<1>"), BindingRefusal::kNotFound);
  EXPECT_EQ(removeBinding(root, "H<1>|81"), BindingRefusal::kNone);
  EXPECT_EQ(bindings(root), "intranet=Staff ");
  EXPECT_FALSE(root.sectionByName(kMain)->sectionByName(kServers)->sectionByName("section")
                   ->isPlaceholder());
  ConfigSection empty;
  EXPECT_EQ(removeBinding(empty, "intranet"), BindingRefusal::kNotFound);
}

TEST(BindingRulesTest, SentencesWordTheResults) {
  const BindingSite site{"intranet", "8080", 8080};
  const struct {
    Sentence sentence;
    const char* plain;
    int names;
  } cases[] = {
      {bindingRefusalSentence(BindingRefusal::kInvalidPort, {"h", "x", 0}),
       "Invalid TCP port specified (x). Please click back button of your browser and correct "
       "port value.",
       1},
      {bindingRefusalSentence(BindingRefusal::kEmptyHost, site), "Invalid host name specified !",
       0},
      {bindingRefusalSentence(BindingRefusal::kUnstorableHost, site),
       "Host name contains characters that can not be stored !", 0},
      {bindingRefusalSentence(BindingRefusal::kUnstorableKey, site),
       "TCP port contains characters that can not be stored !", 0},
      {bindingRefusalSentence(BindingRefusal::kUnstorableAuthority, site),
       "Authority name contains characters that can not be stored !", 0},
      {bindingRefusalSentence(BindingRefusal::kAlreadyExists, site),
       "Binding for intranet:8080 already exist !", 1},
      {bindingRefusalSentence(BindingRefusal::kNoMain, site),
       "Internal error - can not add section MAIN !", 0},
      {bindingRefusalSentence(BindingRefusal::kNoServers, site),
       "Internal error - can not add section SERVERS !", 0},
      {bindingRefusalSentence(BindingRefusal::kCannotAdd, site),
       "Internal error - can not add the binding !", 0},
      {bindingRefusalSentence(BindingRefusal::kNotFound, site),
       "Binding for intranet|8080 not found !", 1},
      {bindingAddedSentence(site, "Staff"),
       "Users connecting to intranet:8080 will be authenticated in authority: Staff .", 2},
      {bindingDeletedSentence("intranet|8080"), "Binding for intranet|8080 deleted.", 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.sentence.plain(), c.plain);
    EXPECT_EQ(c.sentence.names, c.names) << c.plain;
  }
}

}  // namespace
}  // namespace gatekeeper::accountdb
