// The reading half of TextStream: the line reader, the line parser and navigation.
#ifndef GATEKEEPER_CONFIGSTORE_TEXT_READER_H_
#define GATEKEEPER_CONFIGSTORE_TEXT_READER_H_

#include <cstdint>
#include <string>
#include <vector>

#include "configstore/config_stream.h"
#include "configstore/source_text.h"
#include "configstore/text_line.h"

namespace gatekeeper {

// Reads a text held in memory line by line, as a reader with a 4096-byte line buffer would: a
// line longer than 4095 characters arrives in pieces, each parsed as a line of its own
// (linePieceLength). Parsing a line (classifyLine) keeps the reading state: the stack of open
// sections (names, and the offset after each opening line) and the open binary block.
//
// Contract: the operations are those of ConfigStream's reading and navigation part, with its
// results; while the reader is not open every one of them reports 0 and reads nothing. Names,
// values and the tag of the last parsed line stay valid until the next line is parsed.
class TextReader {
 public:
  // The buffers start empty; only their first bytes are set (a reader parsing one small
  // section is made for each, and ten kilobytes of zeros would cost more than the parse).
  TextReader() { lineBuffer_[0] = nameBuffer_[0] = valueBuffer_[0] = tagBuffer_[0] = '\0'; }
  ~TextReader();
  TextReader(const TextReader&) = delete;
  TextReader& operator=(const TextReader&) = delete;

  // Reads length bytes of source from offset begin (within the text). A null source leaves the
  // reader closed.
  void open(CountedRef<SourceText> source, size_t begin, size_t length);
  bool isOpen() const { return source_ != nullptr; }
  // Gives the reference back; the reader is closed.
  void close();
  SourceText* source() const { return source_.get(); }

  int readLine();
  StreamToken parseLine() { return parsePiece(lineBuffer_, lineLength_, true); }
  int32_t sectionTag(const char** text) const;
  const char* lastName(const char** itemName);
  int32_t lastInt() const { return lastInt_; }
  float lastFloat() const { return lastFloat_; }
  const char* lastString() const { return valueBuffer_; }
  double lastDouble() const { return lastDouble_; }
  int64_t lastInt64() const { return lastInt64_; }
  const char* lineBuffer() const { return lineBuffer_; }
  int32_t countBlockLines();
  uint32_t readBlock(unsigned char* buffer, uint32_t size);
  uint32_t readBlockInto(std::vector<unsigned char>* bytes);
  int rewind();

  uint32_t findBlock(const char* name, unsigned char* buffer, uint32_t size);
  int findInt64(const char* name, int64_t* value);
  int findDouble(const char* name, double* value);
  int findString(const char* name, std::string* value);
  int findFloat(const char* name, float* value);
  int findInt(const char* name, int32_t* value);
  int enterSection(const char* name);
  int skipSection();
  int restartSection();
  int findValue(const char* name, int32_t type);
  int findBlockByName(const char* name);
  int enterPath(const char* path);

  // Number of open sections.
  size_t depth() const { return sectionNames_.size(); }
  // Offset of the next line to be read within the text read.
  size_t position() const { return readPos_; }
  uint64_t remainingBytes() const { return readPos_ < inSize_ ? inSize_ - readPos_ : 0; }

  // For reading past lines without the line buffer (KeptTextScanner): the text read, its
  // offset within the source, the innermost open section's name and whether a block is open.
  const char* input() const { return in_; }
  size_t inputSize() const { return inSize_; }
  size_t inputOffset() const { return inOffset_; }
  const std::string& innermostName() const { return sectionNames_.back(); }
  bool blockOpen() const { return blockOpen_; }
  // Moves the read position (within the text) without parsing what is skipped.
  void setPosition(size_t position) { readPos_ = position < inSize_ ? position : inSize_; }
  // Leaves the innermost open section without reading its closing line.
  void leaveSection();
  // Reads and parses the next piece of a line as readLine and parseLine would, for the sections
  // and block it opens or closes only: the line buffer and the last line's name, tag and value
  // stay those of the last line read.
  StreamToken readPiece();
  // Back to a state of `depth` open sections (those opened before) and no open block.
  void dropSectionsAbove(size_t depth);

 private:
  // Parses length bytes of a line, acting on the reading state; keepFields: its name, tag and
  // value are kept for lastName() and the others.
  StreamToken parsePiece(const char* text, size_t length, bool keepFields);
  StreamToken parseValue(const TextLine& line);
  bool closesBlock(std::string_view name) const;
  void seekTo(uint64_t offset);
  // Scans forward for a line of the wanted kind at the current depth (see findValue); token.
  int scanAtDepth(const char* name, int32_t type, bool wantSection);

  // The text (a counted reference) and a view of it.
  CountedRef<SourceText> source_;
  const char* in_ = "";
  size_t inSize_ = 0;
  size_t inOffset_ = 0;  // of in_ within the source text
  size_t readPos_ = 0;
  // Open sections: names and the offset right after each opening line.
  std::vector<std::string> sectionNames_;
  std::vector<uint64_t> positions_;
  bool blockOpen_ = false;
  std::string blockName_;       // as opened, item name included
  std::string blockValueName_;  // the part before the item name
  // The last line read and parsed: its text, fields, tag and number.
  char lineBuffer_[kLineBufferSize];
  size_t lineLength_ = 0;
  char nameBuffer_[kFieldBufferSize];
  char valueBuffer_[kFieldBufferSize];
  char tagBuffer_[kFieldBufferSize];
  int32_t tagKind_ = 0;
  char splitName_[kFieldBufferSize];
  char splitItem_[kFieldBufferSize];
  int32_t lastInt_ = 0;
  float lastFloat_ = 0.0f;
  double lastDouble_ = 0.0;
  int64_t lastInt64_ = 0;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_CONFIGSTORE_TEXT_READER_H_
