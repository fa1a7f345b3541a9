// A tree node whose children stay ordered by a virtual comparison.
#pragma once

#include <cstdint>

#include "coverage/branch.h"

namespace vantor {

class DblSorted : public DblCollection2 {
public:
    // 0 when `existing` and `candidate` stand for the same thing. The base
    // knows nothing of its content: only the same object compares equal.
    virtual int32_t compare(const DblSorted* existing, const DblSorted* candidate) const;

    DblSorted* First() const { return static_cast<DblSorted*>(first); }
    DblSorted* Last() const { return static_cast<DblSorted*>(last); }
    DblSorted* Next() const { return static_cast<DblSorted*>(next); }
    DblSorted* Prev() const { return static_cast<DblSorted*>(prev); }

    // Places `node` among the children, walking from the last one backwards
    // and asking the node's own comparison (the list head may be a plain one):
    // an equal child is returned and nothing is inserted; otherwise `node`
    // goes right after the first child that compares above it (or first of
    // all) and is returned. Children thus run from the highest to the lowest.
    DblSorted* InsertSorted(DblSorted* node);
    // Links `node` right after `after` (nullptr: as the first child).
    void InsertAfter(DblSorted* after, DblSorted* node);
};

}  // namespace vantor
