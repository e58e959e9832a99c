#pragma once
#include <QByteArray>
#include <QDate>
#include <QString>

// Small shared routines; never instantiated.
class THi {
public:
    THi() = delete;

    // Stored text encoding: GB18030 bytes, then standard Base64 on one line.
    static QString EncodeText(const QString &text);
    // Reverse of EncodeText; characters outside the Base64 alphabet are skipped.
    static QString DecodeText(const QString &text);

    // Text to GB18030 bytes and back; the only places where text meets bytes.
    static QByteArray ToLocalBytes(const QString &text);
    static QString FromLocalBytes(const QByteArray &bytes);

    // Parses text under a short date format such as "yyyy-mm-dd" whose separator is the
    // first character of separator; one- or two-digit months and days are accepted.
    // Throws TError when the text is not a valid date.
    static QDate ParseDate(const QString &text, const QString &format, const QString &separator);
    static QDate ParseYmdDate(const QString &text);

    static QByteArray ReadWholeFile(const QString &path);
    static void WriteWholeFile(const QString &path, const QByteArray &bytes);

    static QString ProgramDir();   // folder of the executable, no trailing separator
    static QString ProgramPath();  // the same with one trailing separator
    // A file delivered with the program (blank ledger, export templates): beside the
    // executable in the build tree, else in the installed read-only <prefix>/share/tallyfern.
    static QString DeliveredFile(const QString &name);

    // Whole content of a program resource by name (":/RES_HELP1" and so on).
    static QByteArray ReadResourceText(const QString &name);

    // The user's application-data folder, or empty text when it cannot be found.
    static QString SpecialFolderPath();
    // The program's folder inside it, created (mode 0700) when missing; empty when it
    // does not exist afterwards. An empty name uses the application's title.
    static QString AppDataDir(const QString &name);

    // Starts program with the argument text and returns at once. The path loses every
    // double quote; an argument text is split like a command line (quotes group words).
    // Returns false when the program could not be started.
    static bool RunProgram(const QString &program, const QString &arguments,
                           const QString &workDir = QString());
    // Starts the first desktop calculator found on PATH; false when none is installed.
    static bool RunCalculator();

    // Text trimmed of leading and trailing characters with codes 0 to 32, nothing else.
    static QString Trim(const QString &text);
    // ASCII-only lower case: A to Z are folded, every other character stays.
    static QString AsciiLower(const QString &text);
    // "%0.2f" with a point as decimal separator and no grouping.
    static QString FormatAmount(double value);
    // The accepted-amount rule: the trimmed text converts to a finite number of at least 0.01
    // with at most nine digits before the point once shown with two decimals.
    static bool IsAcceptedAmount(const QString &text, double *value = nullptr);
};
