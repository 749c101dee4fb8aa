// A result sentence of the database rules (accountdb) as a page writes it.
#ifndef GATEKEEPER_ACCOUNTPAGES_SENTENCE_MARKUP_H_
#define GATEKEEPER_ACCOUNTPAGES_SENTENCE_MARKUP_H_

#include "accountdb/user_rules.h"

namespace gatekeeper {

// Writes the sentence with its names escaped and enclosed in the given tags (open1/close1 for
// the first name, open2/close2 for the second), as each page has them; no line end.
void writeSentence(const accountdb::Sentence& sentence, const char* open1, const char* close1,
                   const char* open2 = "", const char* close2 = "");

}  // namespace gatekeeper

#endif  // GATEKEEPER_ACCOUNTPAGES_SENTENCE_MARKUP_H_
