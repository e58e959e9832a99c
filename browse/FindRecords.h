#pragma once
#include "store/SearchResult.h"

#include <functional>

#include <QList>
#include <QObject>
#include <QString>

class QAction;
class QLabel;
class QTreeView;
class QWidget;

// The rows whose notes contain the text, or whose item contains it or is spelled by it in
// pinyin (initials "fz", full "fangzu", see TItemMatcher); case is ignored. In row order;
// none for a blank text.
QList<int> FindRecords(const QList<TRecord> &records, const QString &text);

// Finding records in a list of records (a view made by CreateRowsView). Find asks for a
// text, marks every found row, selects and scrolls to the first and shows "共找到 N 条" on
// a status line below the list; F3 on the owner goes on to the next found row, after the
// last back to the first. A new list clears the marks; F3 then finds the last text again.
class TRecordFinder : public QObject {
    Q_OBJECT
public:
    // statusHost: the container of the list, whose layout gets the status line; records:
    // the records the list shows, row by row.
    TRecordFinder(QWidget *owner, QTreeView *list, QWidget *statusHost,
                  std::function<const QList<TRecord> &()> records);

    void Find();
    void FindText(const QString &text);
    void Next();

    // Whether row is marked as found.
    bool IsFound(int row) const;

private:
    void Clear();
    void Show(int which);

    QWidget *m_owner;
    QTreeView *m_list;
    QLabel *m_status;
    QAction *m_next;
    std::function<const QList<TRecord> &()> m_records;
    QString m_text;
    QList<int> m_found;
    int m_current = -1;
};
