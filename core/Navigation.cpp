#include "core/Navigation.h"

#include "platform/Int16.h"
#include "platform/NumberReadings.h"
#include "platform/RuntimeError.h"

namespace navigation {

NavigationResult previous(ReadingPosition& position) {
    NavigationResult result = NavigationResult::AtEdge;
    if (position.current > 1) {
        position.nextAvailable = true;
        position.current = int16::add(position.current, -1);
        result = NavigationResult::Moved;
    }
    if (position.current == 1)
        position.previousAvailable = false;
    return result;
}

NavigationResult next(ReadingPosition& position) {
    NavigationResult result = NavigationResult::AtEdge;
    if (position.current < position.count) {
        position.previousAvailable = true;
        position.current = int16::add(position.current, 1);
        result = NavigationResult::Moved;
    }
    if (position.current == position.count)
        position.nextAvailable = false;
    return result;
}

NavigationResult first(ReadingPosition& position) {
    position.current = 1;
    position.previousAvailable = false;
    position.nextAvailable = true;
    return NavigationResult::Moved;
}

NavigationResult goTo(ReadingPosition& position, QStringView typed) {
    if (!numbers::isNumeric(typed))
        return NavigationResult::Unchanged;
    if (numbers::value(typed) > double(position.count))
        return NavigationResult::NumberTooLarge;
    if (numbers::leadingValue(typed) == 0.0)
        return NavigationResult::Unchanged;
    qint16 target = 0;
    try {
        target = numbers::roundToInt16(numbers::value(typed));
    } catch (const RuntimeError&) {
        return NavigationResult::Unchanged; // a typo such as -40000, like a cancelled box
    }
    if (target < 0)
        return NavigationResult::Unchanged;
    position.current = target;
    if (position.current == position.count)
        position.nextAvailable = false;
    return NavigationResult::Moved;
}

NavigationResult moveTo(ReadingPosition& position, qint16 article) {
    position.current = article;
    position.previousAvailable = article > 1;
    position.nextAvailable = article < position.count;
    return NavigationResult::Moved;
}

QString title(const ReadingPosition& position) {
    return QStringLiteral("Orvenla(%1 of %2)").arg(position.current).arg(position.count);
}

} // namespace navigation
