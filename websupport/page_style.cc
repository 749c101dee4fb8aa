#include "websupport/page_style.h"

#include "websupport/response_writer.h"

namespace gatekeeper {

void writeLinkAndBorderRules() {
  writeLine("a:link { font-family: Arial; font-size: 10pt; color: rgb(192,64,64)}");
  writeLine("a:hover { font-family: Arial; font-size: 10pt; color: rgb(192,64,64)}");
  writeLine("a:visited { font-family: Arial; font-size: 10pt; color: rgb(192,64,64)}");
  writeLine("a:href { font-family: Arial; font-size: 10pt; color: rgb(192,64,64)}");
  writeLine(".outset { border-left: 1px solid rgb(255,255,255); border-right: 1px solid rgb(0,0,0); "
            "border-top: 1px solid rgb(255,255,255); border-bottom: 1px solid rgb(0,0,0) }");
  writeLine(".inset { border-left: 1px solid rgb(0,0,0); border-right: 1px solid rgb(255,255,255); "
            "border-top: 1px solid rgb(0,0,0); border-bottom: 1px solid rgb(255,255,255) }");
}

}  // namespace gatekeeper
