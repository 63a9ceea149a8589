// Number masks of the reports ("#####0", "#,##0", "##0.0", "###,###,##0.0", ...) and the
// one-decimal rounding used for throughput and seconds.
#pragma once

#include <QString>
#include <string_view>

namespace quorvel {

// Formats a number by a mask of '#', '0', ',' and '.': as many decimals as the mask has after
// its '.', at least as many integer digits as it has '0's before it, thousands grouped with the
// locale's separator when the mask holds a ','. Rounds to the shown digits, halves away from
// zero, on the number's 15-significant-digit decimal form. The decimal point is always '.'.
QString formatMask(double value, std::string_view mask);

// Thousands separator used where a mask groups (the locale's; tests may override it).
QChar groupSeparator();
void setGroupSeparatorForTesting(QChar sep);  // QChar() restores the locale's

// x rounded to one decimal, halves to even (1.25 -> 1.2, 1.35 -> 1.4).
double dec1(double x);

// Text right-aligned in n characters; a longer text keeps its rightmost n characters.
QString padLeft(const QString& text, int n);

}  // namespace quorvel
