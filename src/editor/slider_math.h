#pragma once
// The arithmetic of the slider control, in twips along the track: where the thumb
// sits for a value, and which value a press or a drag picks. Kept free of widgets
// so that it can be checked number by number.
#include <optional>

namespace px316t::slider {

// Nearest integer, a half going to the even neighbour.
long long roundHalfEven(double value);

// Max + Min - v: a vertical slider's value for its position and its position for
// a value. Worked out in 64 bits, as Max + Min alone may pass the 32-bit range;
// a result outside it (only from inconsistent loaded properties) is kept at its end.
int mirrored(int min, int max, int v);

// Offset of the thumb from the track's start for `position` (the value measured
// from the track's start): (track - sliderWidth) / (max - min) x (position - min).
// Nothing when max equals min: the thumb is then left where it is.
std::optional<double> thumbOffset(double trackLength, int sliderWidth, int min, int max, int position);

// Where a press at `pointer` (or a drag whose thumb centre follows the pointer)
// puts the thumb: pointer - sliderWidth / 2, rounded, truncated towards zero to a
// multiple of 15, then kept between 0 and track - sliderWidth.
double pressedThumbOffset(double pointer, int sliderWidth, double trackLength);

// The position for a thumb at `offset`: min + offset / ((track - thumb) / (max -
// min)), rounded half to even. Nothing when max equals min or when the thumb has
// no room to travel (a track not longer than its thumb), so that a press in either
// state changes nothing instead of dividing by zero.
std::optional<int> positionAt(double offset, double trackLength, double thumbLength, int min, int max);

} // namespace px316t::slider
