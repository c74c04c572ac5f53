// Conversions between the core's types and Qt's.
#pragma once
#include "app/Utilscolor.h"

#include <QColor>
#include <QString>
#include <string>

inline QString Q(const std::string& utf8) { return QString::fromUtf8(utf8.data(), static_cast<int>(utf8.size())); }
inline std::string S(const QString& text) { return text.toUtf8().toStdString(); }

// Colours are 0x00BBGGRR, blue in the high byte.
inline QColor ToQColor(TColor c) { return QColor(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF); }
