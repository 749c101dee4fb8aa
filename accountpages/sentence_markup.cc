#include "accountpages/sentence_markup.h"

#include "websupport/html_escape.h"
#include "websupport/response_writer.h"

namespace gatekeeper {

void writeSentence(const accountdb::Sentence& sentence, const char* open1, const char* close1,
                   const char* open2, const char* close2) {
  writeText(sentence.lead);
  if (sentence.names > 0) {
    writeText(open1);
    writeEscaped(sentence.first);
    writeText(close1);
  }
  writeText(sentence.middle);
  if (sentence.names > 1) {
    writeText(open2);
    writeEscaped(sentence.second);
    writeText(close2);
  }
  writeText(sentence.tail);
}

}  // namespace gatekeeper
