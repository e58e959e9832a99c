#pragma once
#include "base/HiClass.h"
#include "app/MainForm.h"
#include "entry/EntryPanel.h"
#include "store/Ado.h"
#include "support/WindowParts.h"
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
    static void Fill(const TEntryControls &panel, const QString &item, const QString &amount,
                     const QString &notes = QString())
    {
        panel.cboCate->setEditText(item);
        panel.edtAmount->setText(amount);
        panel.edtNotes->setText(notes);
    }
    static void Add(const TEntryControls &panel, const QString &item, const QString &amount,
                    const QString &notes = QString())
    {
        Fill(panel, item, amount, notes);
        ASSERT_TRUE(panel.btnAdd->isEnabled()) << item.toStdString() << " " << amount.toStdString();
        panel.btnAdd->click();
    }
    static QStringList Column(const TEntryControls &panel, int column)
    {
        QStringList out;
        for (int i = 0; i < panel.lvwRecs->topLevelItemCount(); ++i)
            out << panel.lvwRecs->topLevelItem(i)->text(column);
        return out;
    }

    // The stored records in the order they were stored: date, type, item, amount, notes.
    QList<QStringList> StoredRecords() const
    {
        TConnection conn;
        conn.Open(ledger.Path());
        TStatement st(conn, QStringLiteral("select [user],[date],[type],[cate],[amount],[notes] from [data] order by [id]"));
        QList<QStringList> rows;
        while (st.Next()) {
            EXPECT_EQ(THi::DecodeText(st.Text("user")), user);
            rows << QStringList{st.Text("date"), st.Text("type"), THi::DecodeText(st.Text("cate")),
                                THi::FormatAmount(st.Text("amount").toDouble()),
                                THi::DecodeText(st.Text("notes"))};
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
