#pragma once

// Where each field of the readings record lies: the decoder and the variable
// table of the data files read the same offsets. Internal to device/.

namespace ResultLayout {

inline constexpr int GasOffset = 0;
inline constexpr int PairOffset = 20;
inline constexpr int PairStride = 16;
inline constexpr int DeltaOffset = 116;
inline constexpr int PaskalOffset = 118;
inline constexpr int PrEkvOffset = 122;
inline constexpr int LyambdaOffset = 126;
inline constexpr int TaxOffset = 130;
inline constexpr int TickOffset = 132;
inline constexpr int ResetStatusOffset = 136;
inline constexpr int TTickOffset = 138;
inline constexpr int TermFOffset = 140;
inline constexpr int TermQOffset = 141;
inline constexpr int TermMOffset = 142;
inline constexpr int SpareOffset = 143;

} // namespace ResultLayout
