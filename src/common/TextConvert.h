// UTF-8 <-> UTF-16 conversion at library boundaries (jsoncpp, pugixml, curl).
#pragma once

#include <QString>

#include <string>

// Always true; invalid sequences become U+FFFD.
bool Utf8ToWide(const std::string& utf8, QString& wide);
bool WideToUtf8(const QString& wide, std::string& utf8);
