#pragma once

#include "compare/PeriodDiff.h"

#include <cstddef>
#include <string>
#include <vector>

// The comparison of two submissions for people: lines for a terminal, and the printable correction
// memo in the journals' style.
namespace orva {

struct Declaration;

namespace compare {

// What a change is called in every output: "добавен", "премахнат", "променен" (UTF-8).
const char* changeName(ChangeKind kind);

// Where a line of the memo leads: the record (or VIES line) added, removed or changed that it names,
// its field lines included.
struct MemoLink {
    std::size_t line = 0; // of the memo, 0-based
    bool vies = false;
    JournalKind journal = JournalKind::Purchases; // when not VIES
    ChangeKind kind = ChangeKind::Changed;
    std::size_t oldLine = 0, newLine = 0; // in each submission's file, 0 on the side without it
};

// The differences as aligned lines (UTF-8): notes and files, the return's cells and identity, each
// journal's records and totals, the VIES lines, and the verdict last.
// With `links`, the lines that name a record are listed there (by their index here), in order.
std::vector<std::string> differenceLines(const PeriodDiff& diff, std::vector<MemoLink>* links = nullptr);

// The memo: pages of `linesPerPage` lines (Windows-1251, at most 117 characters each), each
// opening with its number, the title, the newer return's caption and the two folders; the lines of
// differenceLines below. Throws orva::Error when a page cannot hold the header and one line.
// With `links`, the memo's lines that name a record are listed there, in order.
std::vector<std::string> correctionMemo(const PeriodDiff& diff, const Declaration& newer, const std::string& oldFolder,
                                        const std::string& newFolder, int linesPerPage,
                                        std::vector<MemoLink>* links = nullptr);

} // namespace compare
} // namespace orva
