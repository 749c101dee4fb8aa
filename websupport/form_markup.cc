#include "websupport/form_markup.h"

#include <string>

#include "websupport/action_link.h"
#include "websupport/html_escape.h"
#include "websupport/response_writer.h"

namespace gatekeeper {
namespace {

void writeInputStart(std::string_view type, std::string_view name) {
  writeText("<INPUT TYPE=\"");
  writeText(type);
  writeText("\" NAME=\"");
  writeText(name);
  writeText("\"");
}

void writeSize(int size) {
  writeText(" SIZE=\"");
  writeText(std::to_string(size));
  writeText("\"");
}

void writeValue(std::string_view value) {
  writeText(" VALUE=\"");
  writeEscaped(value);
  writeText("\"");
}

}  // namespace

void writeFormStart(std::string_view action) {
  writeText("<FORM METHOD=\"POST\" ACTION=\"");
  actionLink(action);
  writeLine("\">");
}

void writeFormEnd() { writeLine("</FORM>"); }

void writeSubmitAndFormEnd(std::string_view label) {
  writeSubmitButton(label);
  writeLine("");
  writeFormEnd();
}

void writeSubmitButton(std::string_view label) {
  writeText("<INPUT TYPE=\"submit\" VALUE=\"");
  writeText(label);
  writeText("\" NAME=\"B1\">");
}

void writeTextInput(std::string_view name, int size, std::string_view value) {
  writeInputStart("text", name);
  writeSize(size);
  writeValue(value);
  writeText(">");
}

void writePasswordInput(std::string_view name, int size) {
  writeInputStart("password", name);
  writeSize(size);
  writeText(">");
}

void writeHiddenInput(std::string_view name, std::string_view value) {
  writeInputStart("hidden", name);
  writeValue(value);
  writeText(">");
}

void writeCheckbox(std::string_view name, std::string_view value, bool checked) {
  writeInputStart("checkbox", name);
  writeValue(value);
  writeText(checked ? " CHECKED>" : ">");
}

void writeSelectStart(std::string_view name, int lines) {
  writeText("<SELECT NAME=\"");
  writeText(name);
  writeText("\"");
  writeSize(lines);
  writeLine(">");
}

void writeSelectEnd() { writeLine("</SELECT>"); }

}  // namespace gatekeeper
