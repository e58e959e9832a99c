#pragma once
#include "base/HiClass.h"
#include "app/MainForm.h"
#include "entry/EntryPanel.h"
#include "store/Ado.h"
#include "support/ScriptedDialogs.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

// A signed-in main window on a fresh ledger, with shortcuts to both entry panels.
class EntryFixture : public ::testing::Test {
protected:
    void SetUp() override { window = SignedInMainWindow(ledger.Path(), user); }

    // Fills the item, amount and notes fields as the user would leave them.
    static void Fill(TEntryPanel *panel, const QString &item, const QString &amount,
                     const QString &notes = QString())
    {
        panel->cboCate->setEditText(item);
        panel->edtAmount->setText(amount);
        panel->edtNotes->setText(notes);
    }
    static void Add(TEntryPanel *panel, const QString &item, const QString &amount,
                    const QString &notes = QString())
    {
        Fill(panel, item, amount, notes);
        ASSERT_TRUE(panel->btnAdd->isEnabled()) << item.toStdString() << " " << amount.toStdString();
        panel->btnAdd->click();
    }
    static QList<QStringList> PendingRowsOf(const TEntryPanel *panel) { return panel->PendingRows(); }
    static QStringList Column(const TEntryPanel *panel, int column)
    {
        QStringList out;
        for (int i = 0; i < panel->lvwRecs->topLevelItemCount(); ++i)
            out << panel->lvwRecs->topLevelItem(i)->text(column);
        return out;
    }

    // The stored records in the order they were stored: date, type, item, amount, notes.
    QList<QStringList> StoredRecords() const
    {
        TConnection conn;
        conn.Open(ledger.Path());
        TRecordset rs;
        rs.Open(QStringLiteral("select [user],[date],[type],[cate],[amount],[notes] from [data] order by [id]"),
                conn);
        QList<QStringList> rows;
        for (; !rs.Eof(); rs.MoveNext()) {
            EXPECT_EQ(THi::DecodeText(rs.Field("user")), user);
            rows << QStringList{rs.Field("date"), rs.Field("type"), THi::DecodeText(rs.Field("cate")),
                                THi::FormatAmount(rs.Field("amount").toDouble()),
                                THi::DecodeText(rs.Field("notes"))};
        }
        return rows;
    }

    // Runs sql on the ledger file behind the window's back (used to make writes fail).
    void Sql(const QString &sql) const
    {
        TConnection conn;
        conn.Open(ledger.Path());
        conn.Execute(sql);
    }

    TTempLedger ledger;
    QString user = QStringLiteral("Mum");
    std::unique_ptr<TfrmMain> window;
};
