#pragma once

#include <QByteArray>
#include <QString>

// File names as the system holds them: bytes, which need not be UTF-8. Qt turns
// bytes that are not UTF-8 into U+FFFD, and the name then leads to no file, so
// the program's own files are named through these instead. Each byte that is
// not part of valid UTF-8 is kept as the lone surrogate U+DC00 plus the byte,
// which valid UTF-8 never yields, so every name survives the round trip.

// The bytes of a name made by decodeFileName() or typed as text.
QByteArray encodeFileName(const QString& name);
// The text of a name's bytes; encodeFileName() gives the same bytes back.
QString decodeFileName(const QByteArray& bytes);
// The name as a person reads it: each kept byte shown as U+FFFD.
QString displayFileName(const QString& name);
