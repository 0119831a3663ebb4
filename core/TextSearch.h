#pragma once

#include "core/SearchPattern.h"

#include <QString>

#include <atomic>
#include <optional>
#include <vector>

class DataFileIndex;

// The other articles in the order a search goes through them from `current`:
// on to the last and round from the first (backward: back to the first and
// round from the last), `current` itself not included; all of 1..count when
// `current` is outside them.
std::vector<int> searchOrder(int current, int count, SearchDirection direction);

// An article a search found, with its text as it was read for the search
// (the slot's text: CR LF and the line, for each line) and the match in that
// text: the first one forward, the last one backward.
struct FoundArticle {
    int article = 0;
    QString text;
    TextMatch match;
};

// The first article, in `order`, whose text holds a match; none when none
// does, or once `stop` is set. An article whose text cannot be read now is
// passed over. Searches the file's bytes where it can, without decoding them,
// and decodes only the article found.
std::optional<FoundArticle> findArticle(const SearchPattern& pattern,
                                        const DataFileIndex& collection,
                                        const std::vector<int>& order, SearchDirection direction,
                                        const std::atomic<bool>& stop);
