#pragma once

#include "appearance/TextAppearance.h"

#include <QLatin1String>

// How the article is read beside its font and colours: in vertical columns or
// not, and the size the zoom keys set. Kept per collection in a section of
// their own, so that the "Font" keys keep their meaning; only the zoomed size
// itself is the saved font's "Size", as the font chooser writes it.
namespace appearance {

inline constexpr QLatin1String ReadingSection("Reading");
inline constexpr QLatin1String KeyVertical("Vertical");
// The size the font chooser last set, for zooming back to, and the last size
// zoomed to: a "Size" that differs from it was set by the chooser since.
inline constexpr QLatin1String KeyChosenSize("ChosenSize");
inline constexpr QLatin1String KeyZoomedSize("ZoomedSize");

// The standard font size (8 to 72 points) next above `points` for a
// positive direction, next below for a negative one; `points` itself when
// there is none that way.
float zoomedSize(float points, int direction);

// Whether the collection is read in vertical columns; false when never chosen
// or unreadable.
bool savedVertical(const SavedAppearance& saved);
void saveVertical(const SavedAppearance& saved, bool vertical);

// The zoom keys' steps and what they keep.
class Zoom {
public:
    // What the store held from earlier runs; a store that cannot be read
    // leaves the zoom to start from the size on show.
    void restore(const SavedAppearance& saved);
    // The size to show after a step from `current`: larger (positive), smaller
    // (negative), or back to the size the font chooser set (0).
    float step(float current, int direction);
    // Writes the size last stepped to as the saved font size, with what the
    // next run needs to zoom back.
    void save(const SavedAppearance& saved) const;

private:
    float m_chosen = 0;
    float m_zoomed = 0;
};

} // namespace appearance
