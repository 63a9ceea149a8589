// Small text helpers used wherever a setting or a text box is read.
#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace quorvel {

// The decimal number (sign and fraction allowed) with which the text begins, after leading
// blanks; 0 when it begins with none. "12abc" -> 12, " -3.5x" -> -3.5, "x1" -> 0.
double leadingNumber(QStringView text);

// True when the text with leading and trailing blanks removed is empty.
bool IsBlank(QStringView text);

// Bytes that should be UTF-8 (an argument, a line of a file) as text, losing nothing: each
// byte that is no part of valid UTF-8 becomes the lone surrogate U+DC80 + byte, which
// RequestURL (bench/internet_url.h) sends as that byte again.
QString FromUtf8KeepingBytes(QByteArrayView bytes);

}  // namespace quorvel
