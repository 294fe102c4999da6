// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

// The Gumbo tree under the document model: the memory it lives in, reading its nodes, and walking
// it without recursion. Internal to the document model.
#include <algorithm>
#include <cstddef>
#include <gumbo.h>
#include <initializer_list>
#include <string_view>
#include <utility>
#include <vector>

namespace awardsync::dom {

// Gumbo's own gumbo_destroy_output frees the tree recursively and overflows the stack on deeply
// nested pages, so every block Gumbo allocates is tracked here and released in one flat sweep.
class GumboMemory {
public:
    GumboMemory() = default;
    GumboMemory(const GumboMemory&) = delete;
    GumboMemory& operator=(const GumboMemory&) = delete;
    ~GumboMemory();

    // Gumbo's allocator and deallocator; `userdata` is the GumboMemory.
    static void* allocate(void* userdata, std::size_t size);
    static void deallocate(void* userdata, void* pointer);

private:
    // The header keeps the payload aligned as malloc would.
    struct alignas(std::max_align_t) Block {
        Block* prev;
        Block* next;
    };
    Block head_{&head_, &head_};
};

inline bool isElement(const GumboNode* node) {
    return node->type == GUMBO_NODE_ELEMENT || node->type == GUMBO_NODE_TEMPLATE;
}

inline bool isText(const GumboNode* node) {
    return node->type == GUMBO_NODE_TEXT || node->type == GUMBO_NODE_WHITESPACE || node->type == GUMBO_NODE_CDATA;
}

inline const GumboVector* childrenOf(const GumboNode* node) {
    if (node->type == GUMBO_NODE_DOCUMENT) {
        return &node->v.document.children;
    }
    return isElement(node) ? &node->v.element.children : nullptr;
}

inline const GumboNode* childAt(const GumboVector* children, unsigned index) {
    return static_cast<const GumboNode*>(children->data[index]);
}

inline bool hasTag(const GumboNode* node, GumboTag tag) {
    return isElement(node) && node->v.element.tag == tag;
}

inline bool hasTag(const GumboNode* node, std::initializer_list<GumboTag> tags) {
    return isElement(node) && std::find(tags.begin(), tags.end(), node->v.element.tag) != tags.end();
}

inline const GumboAttribute* findAttribute(const GumboNode* node, const char* name) {
    return isElement(node) ? gumbo_get_attribute(&node->v.element.attributes, name) : nullptr;
}

// The element's name: lower case for the elements Gumbo knows, as written in the source otherwise.
std::string_view localName(const GumboNode* node);

// Gumbo predates <dialog> and leaves it an unknown element.
bool isDialog(const GumboNode* node);

enum class Visit { Skip, Descend, Stop };

// Walks the descendants of `root` in document order without recursion. `enter` is called on
// every node reached and decides whether to go into it; `leave` is called after the children of
// every node that was entered with Descend.
template <typename Enter, typename Leave> void walkDescendants(const GumboNode* root, Enter&& enter, Leave&& leave) {
    struct Frame {
        const GumboNode* node;
        unsigned next;
    };
    std::vector<Frame> stack{{root, 0}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        const GumboVector* children = childrenOf(top.node);
        if (children == nullptr || top.next >= children->length) {
            const GumboNode* done = top.node;
            stack.pop_back();
            if (!stack.empty()) {
                leave(done);
            }
            continue;
        }
        const GumboNode* child = childAt(children, top.next++);
        switch (enter(child)) {
        case Visit::Skip:
            break;
        case Visit::Descend:
            stack.push_back({child, 0});
            break;
        case Visit::Stop:
            return;
        }
    }
}

template <typename Enter> void walkDescendants(const GumboNode* root, Enter&& enter) {
    walkDescendants(root, std::forward<Enter>(enter), [](const GumboNode*) {});
}

} // namespace awardsync::dom
