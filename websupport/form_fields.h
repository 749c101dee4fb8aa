// The request fields of a CGI run: one collection per source (form body, query string,
// cookies), each an ordered list of named fields with one or more values. Lookups never fail:
// what is missing reads as the shared empty field or value, whose text is empty and whose
// number is 0. Positions count from 1.
#ifndef GATEKEEPER_WEBSUPPORT_FORM_FIELDS_H_
#define GATEKEEPER_WEBSUPPORT_FORM_FIELDS_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace gatekeeper {

// One value of a field. An empty text and an absent one are the same.
class FormValue {
 public:
  FormValue() = default;
  explicit FormValue(std::string text) : text_(std::move(text)) {}

  const std::string& text() const { return text_; }

  // The shared empty value that lookups return when they miss.
  static const FormValue& empty();

 private:
  std::string text_;
};

// A name (as first received, decoded) and its values in the order they arrived.
class FormField {
 public:
  explicit FormField(std::string name) : name_(std::move(name)) {}

  const std::string& name() const { return name_; }
  int count() const { return static_cast<int>(values_.size()); }
  // The value at a position counted from 1; the shared empty value outside 1..count().
  const FormValue& value(int position) const;
  // The first value's text: empty when the field is missing, has no value or an empty one.
  const std::string& text() const { return value(1).text(); }
  // The first value read as a decimal number ("%d"); 0 when it does not begin with one.
  int number() const;

  void addValue(std::string text) { values_.emplace_back(std::move(text)); }

  // The shared empty field: no name and exactly one empty value.
  static const FormField& empty();

 private:
  std::string name_;
  std::vector<FormValue> values_;
};

// An ordered list of fields, in order of first arrival.
class FormFields {
 public:
  int count() const { return static_cast<int>(fields_.size()); }
  // The field at a position counted from 1; the shared empty field outside 1..count().
  const FormField& at(int position) const;
  // The first field whose name equals name ignoring case; the shared empty field when there
  // is none or name is empty. Fields without a name are never found.
  const FormField& field(std::string_view name) const;
  // Whether a field of that name (ignoring case) arrived at all, even with an empty value.
  bool has(std::string_view name) const { return positionOf(name) != 0; }

  // Adds a value to the field of that name (ignoring case), creating the field at the end of
  // the list when there is none yet.
  void insert(std::string name, std::string value);

 private:
  // 1-based position of the first field named name (ignoring case), 0 when none.
  int positionOf(std::string_view name) const;

  std::vector<FormField> fields_;
  // The positions of the named fields by the hash of their names (platform::nameHash), so that
  // a request with thousands of fields is read in linear time; names without a hash are
  // listed apart and compared one by one.
  std::unordered_multimap<std::uint64_t, int> positionsByHash_;
  std::vector<int> unhashedPositions_;
};

}  // namespace gatekeeper

#endif  // GATEKEEPER_WEBSUPPORT_FORM_FIELDS_H_
