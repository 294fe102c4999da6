// SPDX-License-Identifier: GPL-3.0-or-later
#include "service/gumbo_tree.h"

#include "core/text.h"

#include <cstdlib>

namespace awardsync::dom {

GumboMemory::~GumboMemory() {
    Block* block = head_.next;
    while (block != &head_) {
        Block* next = block->next;
        std::free(block);
        block = next;
    }
}

void* GumboMemory::allocate(void* userdata, std::size_t size) {
    auto* self = static_cast<GumboMemory*>(userdata);
    auto* block = static_cast<Block*>(std::malloc(sizeof(Block) + size));
    if (block == nullptr) {
        // Gumbo does not check for a failed allocation and an exception cannot unwind through C.
        std::abort();
    }
    block->prev = &self->head_;
    block->next = self->head_.next;
    self->head_.next->prev = block;
    self->head_.next = block;
    return block + 1;
}

void GumboMemory::deallocate(void*, void* pointer) {
    if (pointer == nullptr) {
        return;
    }
    Block* block = static_cast<Block*>(pointer) - 1;
    block->prev->next = block->next;
    block->next->prev = block->prev;
    std::free(block);
}

std::string_view localName(const GumboNode* node) {
    const GumboElement& element = node->v.element;
    if (element.tag != GUMBO_TAG_UNKNOWN) {
        return gumbo_normalized_tagname(element.tag);
    }
    GumboStringPiece name = element.original_tag;
    gumbo_tag_from_original_text(&name);
    return name.data == nullptr ? std::string_view() : std::string_view(name.data, name.length);
}

bool isDialog(const GumboNode* node) {
    return node->v.element.tag_namespace == GUMBO_NAMESPACE_HTML && equalsIgnoreAsciiCase(localName(node), "dialog");
}

} // namespace awardsync::dom
