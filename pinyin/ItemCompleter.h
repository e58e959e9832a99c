#pragma once
#include "pinyin/ItemMatcher.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <optional>

class QComboBox;
class QEvent;
class QLineEdit;
class QListView;
class QStringListModel;
class QWidget;

// Offers the user's items in a popup below an item field while typing: by the text, the
// initials or the full pinyin of an item (see TItemMatcher). The keyboard stays in the
// field. The popup opens with its first offer chosen (an item typed in full stands
// first); Down and Up move the choice, Enter or Tab puts the chosen item into the field
// and then goes on to whatever the key does there, Escape closes the popup and keeps
// what was typed, and a click takes an item. Only without a chosen row (Up from the
// first) does Enter keep the typed text; a text no item matches opens no popup.
class TItemCompleter : public QObject {
    Q_OBJECT
public:
    // An editable combo box offers its own entries, followed as they change.
    static TItemCompleter *Attach(QComboBox *combo);
    // A line edit offers the given items; a second call replaces them.
    static TItemCompleter *Attach(QLineEdit *field, const QStringList &items);

    QListView *Popup() const { return m_popup; }
    // The items the popup lists now, in its order.
    QStringList Offered() const;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    TItemCompleter(QWidget *owner, QLineEdit *field, QComboBox *combo);
    void SetItems(const QStringList &items);
    const TItemMatcher &Matcher();
    void Offer(const QString &typed);
    void MoveChoice(int step);
    void Choose(int row);  // -1: no row
    void Take(int row);
    void Hide();
    bool Shown() const;

    QWidget *m_owner;
    QLineEdit *m_field;
    QComboBox *m_combo;
    QPointer<QWidget> m_window;  // moving or leaving it closes the popup
    QListView *m_popup;
    QStringListModel *m_offered;
    QStringList m_items;                   // line edit only; a combo's are its entries
    std::optional<TItemMatcher> m_matcher;  // made on the first keystroke after a change
};
