// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace mock {

// The fields of a form body (application/x-www-form-urlencoded), decoded, in the order sent.
using FormFields = std::vector<std::pair<std::string, std::string>>;

// "+" is a blank, "%XY" a byte; a broken escape stays as it is.
std::string formDecode(std::string_view text);

FormFields parseForm(std::string_view body);

// The value of the first field named `name`; empty when there is none.
std::optional<std::string> formValue(const FormFields& fields, std::string_view name);

} // namespace mock
