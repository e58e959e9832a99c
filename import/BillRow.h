#pragma once
#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>

// Where a bill came from; each form has its own header names and quirks. After the payment
// bills come the exports of other bookkeeping apps, the debit card statements of banks, and
// any other table read through a mapping of its columns.
enum class TBillSource { AlipayApp, AlipayWeb, WeChatCsv, WeChatXlsx, Suishouji, Qianji, Koudai, Icbc, Cmb, Ccb, Mapped };

// 收/支 of a bill row: "不计收支" and WeChat's "/" are Neither.
enum class TBillDirection { Out, In, Neither };

// Why a row is offered unchecked. None means the row is checked by default.
enum class TUncheckedReason {
    None,
    NotCounted,       // neither expense nor income
    NotCompleted,     // closed or failed payment
    NotFinished,      // still waiting for payment or being processed
    FullRefund,       // the whole amount came back
    AlreadyImported,  // this transaction is already in the ledger
    Repeated,         // the same transaction stood earlier in this bill
    Transfer,         // between the household's own accounts: neither expense nor income
    PossibleDuplicate,  // looks like a stored record from another source
};

// One transaction of a bill as the bill states it. Amounts are integer fen.
struct TBillRow {
    QDateTime time;
    TBillDirection direction = TBillDirection::Neither;
    QString counterpart;
    QString goods;
    QString category;   // the bill's own category; empty when the form has none
    QString status;
    QString orderNo;    // empty when the bill gives none
    qint64 amountFen = 0;
    qint64 refundFen = 0;  // part of the amount already refunded
    int line = 0;          // line (CSV) or row (XLSX) in the file, for messages
    bool transfer = false;  // a transfer between own accounts, by the file's own words

    QDate date() const { return time.date(); }
    qint64 paidFen() const { return amountFen - refundFen; }
};

struct TBill {
    TBillSource source = TBillSource::AlipayApp;
    QList<TBillRow> rows;
};

// "支出", "收入" or "不计收支".
QString DirectionText(TBillDirection direction);
QString ReasonText(TUncheckedReason reason);
QString SourceText(TBillSource source);
