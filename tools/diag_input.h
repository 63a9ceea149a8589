// What the trace and ping windows read from their boxes: numbers typed as text, and the host
// part of the main window's web addresses for their address lists.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace quorvel {

// The value of a text that reads as a number as a whole: blanks around it, a sign, a decimal
// point and an exponent allowed ("  -2.5e3 "). Empty when it does not.
std::optional<double> numericText(const QString& text);

// A value rounded to a whole number, halves to even (2400.5 -> 2400, 2401.5 -> 2402), held to
// [lo, hi] so that huge values never overflow.
long long roundHalfEven(double value, long long lo, long long hi);

// The host part of a web address: after the first "//" when there is one, then before the
// first "/"; without a user part, without a port, and an IPv6 literal without its brackets
// ("http://[::1]:8080/x" gives "::1"), so that it can be pinged and traced as it stands.
QString hostPart(const QString& url);

// Whether a typed address carries a port ("127.0.0.1:80", "[::1]:80", "host:8080"): no echo
// request can go to such an address. A bare IPv6 address has more than one colon and is none.
bool hasPort(const QString& address);

// The address list of a diagnostic window: the host part of the first source (the main
// window's current text) always, then that of each further source unless an entry equal to
// it ignoring case is already listed (the first form wins).
QStringList addressListFromSources(const QStringList& urlSources);

// Room left after the widest text of a column of a results box, in dialog units.
inline constexpr int kColumnGapUnits = 6;

// The widest text of an IPv6 address as the reports write it, for the width of its column.
inline constexpr const char* kWidestIpv6Text = "ffff:ffff:ffff:ffff:ffff:ffff:ffff:ffff";

// Tab stops in dialog units turned into pixels: a dialog unit is a quarter of the average
// character width.
std::vector<double> dialogUnitsToPixels(const std::vector<int>& stops, double averageCharWidth);

}  // namespace quorvel
