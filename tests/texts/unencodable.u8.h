#pragma once
inline constexpr char kFine[] = "普通紙";
inline constexpr char kBad[] = "😀";
