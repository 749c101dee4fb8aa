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
  const std::string& stored = fields_.back().name();
  if (stored.empty()) return;  // never found by name
  std::uint64_t hash = 0;
  if (platform::nameHash(stored.c_str(), &hash)) {
    positionsByHash_.emplace(hash, count());
  } else {
    unhashedPositions_.push_back(count());
  }
}

int FormFields::positionOf(std::string_view name) const {
  if (name.empty()) return 0;
  const std::string wanted(name);
  const auto matches = [&](int position) {
    return platform::namesEqual(fields_[static_cast<std::size_t>(position - 1)].name().c_str(),
                                wanted.c_str());
  };
  std::uint64_t hash = 0;
  if (!platform::nameHash(wanted.c_str(), &hash)) {
    for (int position = 1; position <= count(); ++position) {
      if (!fields_[static_cast<std::size_t>(position - 1)].name().empty() && matches(position)) {
        return position;
      }
    }
    return 0;
  }
  int first = 0;
  const auto [begin, end] = positionsByHash_.equal_range(hash);
  for (auto it = begin; it != end; ++it) {
    if ((first == 0 || it->second < first) && matches(it->second)) first = it->second;
  }
  for (const int position : unhashedPositions_) {
    if (first != 0 && position > first) break;  // listed in increasing order
    if (matches(position)) return position;
  }
  return first;
}

}  // namespace gatekeeper
