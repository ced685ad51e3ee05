#include "host/AccountDirectory.h"

namespace compat {

PasswordField ClassifyPasswordField(std::string_view field) {
  if (field == "x") return PasswordField::InShadow;
  if (field.empty()) return PasswordField::Empty;
  if (field.front() == '!') return PasswordField::Locked;
  if (field.front() == '*') return PasswordField::NoPassword;
  return PasswordField::Usable;
}

}  // namespace compat
