#include "websupport/form_fields.h"

#include "platform/names.h"
#include "websupport/leading_number.h"

namespace gatekeeper {

const FormValue& FormValue::empty() {
  static const FormValue kEmpty;
  return kEmpty;
}

const FormValue& FormField::value(int position) const {
  if (position < 1 || position > count()) return FormValue::empty();
  return values_[static_cast<std::size_t>(position - 1)];
}

int FormField::number() const { return leadingNumber(text()); }

const FormField& FormField::empty() {
  static const FormField kEmpty = [] {
    FormField field{std::string()};
    field.addValue(std::string());
    return field;
  }();
  return kEmpty;
}

const FormField& FormFields::at(int position) const {
  if (position < 1 || position > count()) return FormField::empty();
  return fields_[static_cast<std::size_t>(position - 1)];
}

const FormField& FormFields::field(std::string_view name) const {
  return at(positionOf(name));
}

void FormFields::insert(std::string name, std::string value) {
  if (const int position = positionOf(name); position != 0) {
    fields_[static_cast<std::size_t>(position - 1)].addValue(std::move(value));
    return;
  }
  fields_.emplace_back(std::move(name));
  fields_.back().addValue(std::move(value));
}

int FormFields::positionOf(std::string_view name) const {
  if (name.empty()) return 0;
  const std::string wanted(name);
  for (int position = 1; position <= count(); ++position) {
    const std::string& candidate = fields_[static_cast<std::size_t>(position - 1)].name();
    if (!candidate.empty() && platform::namesEqual(candidate.c_str(), wanted.c_str())) {
      return position;
    }
  }
  return 0;
}

}  // namespace gatekeeper
