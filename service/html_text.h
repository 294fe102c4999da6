// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The text serializer of the document model (innerText). Internal to the document model.
#include <gumbo.h>
#include <string>

namespace awardsync::dom {

// The rendered text of `element` as a browser's innerText gives it.
std::string renderedText(const GumboNode* element);

} // namespace awardsync::dom
