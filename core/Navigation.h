#pragma once

#include <QString>
#include <QStringView>
#include <QtGlobal>

// Where the reader stands in the collection, and whether moving back and on
// is offered. The two flags follow their own rules (a command that only beeps
// may still change one) and are not derived from the position.
struct ReadingPosition {
    qint16 current = 0;
    qint16 count = 0;
    bool previousAvailable = true;
    bool nextAvailable = true;
};

// What a navigation command did, for the window to show.
enum class NavigationResult {
    Moved,          // another article is current
    AtEdge,         // there is no article that way: beep
    NumberTooLarge, // a go-to past the last article: tell the user
    Unchanged,      // cancelled or unusable input: nothing happens
};

// The navigation rules. Each command changes only the position it is given.
namespace navigation {

NavigationResult previous(ReadingPosition& position);
NavigationResult next(ReadingPosition& position);
// Article 1 whatever the count: the first article's slot, even when empty.
NavigationResult first(ReadingPosition& position);
// The typed text as an article number: empty or not a number changes
// nothing, as does a number whose leading value is 0 or that is below 0.
NavigationResult goTo(ReadingPosition& position, QStringView typed);

// `article` current, each flag set from whether its move is possible: for an
// article a search found, and for a new version of the collection.
NavigationResult moveTo(ReadingPosition& position, qint16 article);

// "Orvenla(3 of 120)".
QString title(const ReadingPosition& position);

} // namespace navigation
