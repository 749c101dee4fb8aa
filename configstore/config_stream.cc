#include "configstore/config_stream.h"

namespace gatekeeper {

int ConfigStream::isOpen() const { return 0; }
int ConfigStream::capabilities() const { return 15; }
int ConfigStream::openSectionWithTextTag(const char* name, const char*) {
  return openSection(name);
}
int ConfigStream::openSectionWithHexTag(const char* name, uint32_t) { return openSection(name); }
int ConfigStream::openSection(const char*) { return 0; }
int ConfigStream::closeSection() { return 0; }
int ConfigStream::openBlock(const char*, const char*) { return 0; }
int ConfigStream::closeBlock() { return 0; }
int ConfigStream::writeBytes(const void*, uint32_t) { return 0; }
int ConfigStream::beginValue(const char*) { return 0; }
int ConfigStream::endValue() { return 0; }
int32_t ConfigStream::sectionTag(const char** text) const {
  if (text != nullptr) *text = "";
  return 0;
}
int32_t ConfigStream::countBlockLines() { return 0; }
uint32_t ConfigStream::readBlock(unsigned char*, uint32_t) { return 0; }
uint32_t ConfigStream::readBlockInto(std::vector<unsigned char>* bytes) {
  if (bytes != nullptr) bytes->clear();
  return 0;
}
uint32_t ConfigStream::findBlock(const char*, unsigned char*, uint32_t) { return 0; }
int ConfigStream::findInt64(const char*, int64_t* value) {
  if (value != nullptr) *value = 0;
  return 0;
}
int ConfigStream::findDouble(const char*, double* value) {
  if (value != nullptr) *value = 0.0;
  return 0;
}
int ConfigStream::findString(const char*, std::string* value) {
  if (value != nullptr) value->clear();
  return 0;
}
int ConfigStream::findFloat(const char*, float* value) {
  if (value != nullptr) *value = 0.0f;
  return 0;
}
int ConfigStream::findInt(const char*, int32_t* value) {
  if (value != nullptr) *value = 0;
  return 0;
}
int ConfigStream::enterSection(const char*) { return 0; }
int ConfigStream::enterNextSection() { return 0; }
int ConfigStream::skipSection() { return 0; }
int ConfigStream::restartSection() { return 0; }
int ConfigStream::findValue(const char*, int32_t) { return 0; }
int ConfigStream::findBlockByName(const char*) { return 0; }
int ConfigStream::enterPath(const char*) { return 0; }

}  // namespace gatekeeper
