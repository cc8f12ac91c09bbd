#pragma once
// Routines of the SQL processor shared with the expression layer.

// Rounds X to Digits decimal places (negative: tens, hundreds ...) by Mode:
// 1 half-even, 2 half towards +inf, 3 half towards -inf, 4 half towards zero,
// 5 half away from zero, 6 floor, 7 ceiling, 8 truncation, 9 away from zero;
// 0 leaves X. Values within a relative Tolerance of a boundary count as on it.
long double RoundValueWithTolerance(int Digits, int Mode, long double Tolerance, long double X);
long double RoundValue(int Digits, int Mode, long double X);
bool IsNotFinite(long double X);
