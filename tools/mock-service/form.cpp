// SPDX-License-Identifier: GPL-3.0-or-later
#include "form.h"

#include "core/text.h"

#include <algorithm>

namespace mock {

std::string formDecode(std::string_view text) {
    using awardsync::hexDigitValue;
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '+') {
            out += ' ';
        } else if (text[i] == '%' && i + 2 < text.size() && hexDigitValue(text[i + 1]) >= 0 &&
                   hexDigitValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexDigitValue(text[i + 1]) * 16 + hexDigitValue(text[i + 2]));
            i += 2;
        } else {
            out += text[i];
        }
    }
    return out;
}

FormFields parseForm(std::string_view body) {
    FormFields fields;
    while (!body.empty()) {
        const std::size_t end = std::min(body.find('&'), body.size());
        const std::string_view pair = body.substr(0, end);
        const std::size_t equals = pair.find('=');
        if (equals == std::string_view::npos) {
            fields.emplace_back(formDecode(pair), "");
        } else {
            fields.emplace_back(formDecode(pair.substr(0, equals)), formDecode(pair.substr(equals + 1)));
        }
        body.remove_prefix(std::min(end + 1, body.size()));
    }
    return fields;
}

std::optional<std::string> formValue(const FormFields& fields, std::string_view name) {
    for (const auto& [key, value] : fields) {
        if (key == name) {
            return value;
        }
    }
    return std::nullopt;
}

} // namespace mock
