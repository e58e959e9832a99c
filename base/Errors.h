#pragma once
#include <QString>
#include <stdexcept>

// Every failure the program reports travels as a TError carrying a readable message.
// The top-level handler shows it in the application's error box.
class TError : public std::runtime_error {
public:
    explicit TError(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// Text of the error box: a full stop is appended ("。" after Chinese text, "." after other
// text) unless the text already ends in "。", "！", "？", "…" or a character that sorts at
// or below ".".
QString ErrorBoxText(const QString &message);
