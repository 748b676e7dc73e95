#pragma once

#include <QPixmap>

// The seven 20 × 20 pictures of the link state the polling thread publishes:
// 0 request taken up or a procedure step, 1 sending, 2 command accepted,
// 3 link error, 4 waiting for the answer, 5 answer received, 6 answer missed.
// Drawn here so that each state has its own shape and colour.
namespace LinkStateIcons {

constexpr int Count = 7;
constexpr int Size = 20;

// The picture of `state`; states outside 0..6 get an empty (transparent) one.
QPixmap icon(int state);

} // namespace LinkStateIcons
