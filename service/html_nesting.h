// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The nesting guard of the document model: a page nested too deep is refused before Gumbo builds
// its tree, and checked again on the tree. Internal to the document model.
#include <cstddef>
#include <gumbo.h>
#include <string_view>

namespace awardsync::dom {

// Gumbo's tree builder takes time in the square of the nesting depth (100,000 nested elements take
// many seconds), so the page's tags are looked over before it is parsed. This count is rough by
// design and errs on the high side only for markup far from anything a service sends: an end
// tag closes up to its own element, a cell, row, item, option or paragraph closes an open one of
// its kind close above it, and void elements, comments and the text of scripts and styles do not
// count. Its limit is generous (eight times `maxDepth`) so that untidy pages with end tags left
// out are never refused; the exact depth is checked on the parsed tree with treeDepth.
bool nestsRoughlyDeeperThan(std::string_view html, std::size_t maxDepth);

// The deepest element of the parsed tree, counting from the root element as 1.
std::size_t treeDepth(const GumboNode* document);

} // namespace awardsync::dom
