#pragma once

// Command-line arguments are bytes, and a file name need not be valid UTF-8. To let Qt's parser
// read them without losing any, each byte that is not part of a well-formed UTF-8 character is
// carried as a lone low surrogate (U+DC80 + byte), which no real text holds; argumentBytes()
// gives the exact bytes back.

#include <QString>

#include <string>
#include <string_view>

QString argumentText(std::string_view bytes);
std::string argumentBytes(const QString& text);
