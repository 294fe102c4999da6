// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The markup serializer of the document model (innerHTML, tag names). Internal to the document
// model.
#include <gumbo.h>
#include <string>

namespace awardsync::dom {

// The element's name in capitals for HTML elements, as Gumbo gives it for SVG and MathML ones.
std::string upperTagName(const GumboNode* element);

// The markup inside `element`: names in capitals, values in double quotes, text escaped.
std::string innerMarkup(const GumboNode* element);

} // namespace awardsync::dom
