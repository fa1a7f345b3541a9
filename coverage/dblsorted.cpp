#include "coverage/dblsorted.h"

namespace vantor {

int32_t DblSorted::compare(const DblSorted* existing, const DblSorted* candidate) const {
    return existing == candidate ? 0 : 1;
}

DblSorted* DblSorted::InsertSorted(DblSorted* node) {
    DblSorted* child = Last();
    for (; child; child = child->Prev()) {
        int32_t c = node->compare(child, node);
        if (c == 0) return child;
        if (c > 0) break;
    }
    InsertAfter(child, node);
    return node;
}

void DblSorted::InsertAfter(DblSorted* after, DblSorted* node) {
    DblCollection2* following = after ? after->next : first;
    node->prev = after;
    node->next = following;
    if (after)
        after->next = node;
    else
        first = node;
    if (following)
        following->prev = node;
    else
        last = node;
    ++count;
    node->parent = this;
}

}  // namespace vantor
