#include "pinyin/ItemCompleter.h"

#include <QAbstractItemModel>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListView>
#include <QScreen>
#include <QScrollBar>
#include <QStringListModel>

namespace {
const int kVisibleRows = 10;
}

TItemCompleter::TItemCompleter(QWidget *owner, QLineEdit *field, QComboBox *combo)
    : QObject(owner), m_owner(owner), m_field(field), m_combo(combo)
{
    setObjectName(QStringLiteral("itemCompleter"));
    Pinyin::WarmUp();

    // A window of its own, so that it may reach beyond a small dialog, that never takes
    // the focus from the field.
    m_popup = new QListView(owner);
    m_popup->setObjectName(QStringLiteral("lvwItemCompletions"));
    m_popup->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint);
    m_popup->setAttribute(Qt::WA_ShowWithoutActivating);
    m_popup->setFocusPolicy(Qt::NoFocus);
    m_popup->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_popup->setSelectionMode(QAbstractItemView::SingleSelection);
    m_popup->setUniformItemSizes(true);
    m_popup->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_offered = new QStringListModel(this);
    m_popup->setModel(m_offered);
    connect(m_popup, &QListView::clicked, this, [this](const QModelIndex &index) {
        Take(index.row());
        m_field->setFocus();
    });

    connect(m_field, &QLineEdit::textEdited, this, [this](const QString &typed) { Offer(typed); });
    m_owner->installEventFilter(this);
    if (m_field != m_owner)
        m_field->installEventFilter(this);
}

TItemCompleter *TItemCompleter::Attach(QComboBox *combo)
{
    auto *completer = new TItemCompleter(combo, combo->lineEdit(), combo);
    QAbstractItemModel *model = combo->model();
    const auto changed = [completer] { completer->m_matcher.reset(); };
    connect(model, &QAbstractItemModel::rowsInserted, completer, changed);
    connect(model, &QAbstractItemModel::rowsRemoved, completer, changed);
    connect(model, &QAbstractItemModel::modelReset, completer, changed);
    connect(model, &QAbstractItemModel::dataChanged, completer, changed);
    connect(model, &QAbstractItemModel::layoutChanged, completer, changed);
    return completer;
}

TItemCompleter *TItemCompleter::Attach(QLineEdit *field, const QStringList &items)
{
    auto *completer = field->findChild<TItemCompleter *>(QString(), Qt::FindDirectChildrenOnly);
    if (!completer)
        completer = new TItemCompleter(field, field, nullptr);
    completer->SetItems(items);
    return completer;
}

void TItemCompleter::SetItems(const QStringList &items)
{
    m_items = items;
    m_matcher.reset();
    Hide();
}

const TItemMatcher &TItemCompleter::Matcher()
{
    if (!m_matcher) {
        if (m_combo) {
            QStringList entries;
            for (int i = 0; i < m_combo->count(); ++i)
                entries << m_combo->itemText(i);
            m_matcher.emplace(entries);
        } else {
            m_matcher.emplace(m_items);
        }
    }
    return *m_matcher;
}

QStringList TItemCompleter::Offered() const
{
    return Shown() ? m_offered->stringList() : QStringList();
}

bool TItemCompleter::Shown() const
{
    return m_popup->isVisible();
}

void TItemCompleter::Offer(const QString &typed)
{
    const TItemMatcher &matcher = Matcher();
    QStringList offered;
    for (const int i : matcher.Filter(typed))
        offered << matcher.Items().at(i);
    // The typed item alone needs no popup.
    const bool onlyTyped = offered.size() == 1 &&
                           offered.first().trimmed().compare(typed.trimmed(), Qt::CaseInsensitive) == 0;
    if (offered.isEmpty() || onlyTyped) {
        Hide();
        return;
    }
    // An item typed in full comes first, so that taking the first offer keeps it.
    for (int i = 1; i < offered.size(); ++i)
        if (offered[i].trimmed().compare(typed.trimmed(), Qt::CaseInsensitive) == 0) {
            offered.move(i, 0);
            break;
        }
    // The window is looked up now, as the field may have been placed in it after attaching.
    if (QWidget *window = m_owner->window(); window != m_window) {
        if (m_window)
            m_window->removeEventFilter(this);
        m_window = window;
        m_window->installEventFilter(this);
    }
    m_offered->setStringList(offered);
    m_popup->setFont(m_owner->font());
    const int rowHeight = qMax(1, m_popup->sizeHintForRow(0));
    const int frame = 2 * m_popup->frameWidth();
    const int rows = qMin(int(offered.size()), kVisibleRows);
    QRect geometry(m_owner->mapToGlobal(QPoint(0, m_owner->height())),
                   QSize(m_owner->width(), rows * rowHeight + frame));
    // Near the bottom of the screen the popup opens above the field.
    const QScreen *screen = m_owner->screen();
    if (screen && geometry.bottom() > screen->availableGeometry().bottom())
        geometry.moveBottom(m_owner->mapToGlobal(QPoint(0, 0)).y() - 1);
    m_popup->setGeometry(geometry);
    m_popup->verticalScrollBar()->setValue(0);
    m_popup->show();
    // The first offer is chosen at once: Enter or Tab takes it, Escape keeps the typed text.
    Choose(0);
}

void TItemCompleter::MoveChoice(int step)
{
    const int count = m_offered->rowCount();
    const int current = m_popup->currentIndex().isValid() ? m_popup->currentIndex().row() : -1;
    // Up from the first row goes back to the typed text, with no row chosen.
    Choose(qBound(-1, current + step, count - 1));
}

void TItemCompleter::Choose(int row)
{
    if (row < 0) {
        m_popup->selectionModel()->clear();
        return;
    }
    const QModelIndex index = m_offered->index(row);
    m_popup->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    m_popup->scrollTo(index);
}

void TItemCompleter::Take(int row)
{
    const QString item = m_offered->index(row).data().toString();
    Hide();
    // A stored item longer than what a field takes by typing is still taken whole.
    if (m_field->maxLength() < item.size())
        m_field->setMaxLength(int(item.size()));
    if (m_combo)
        m_combo->setEditText(item);
    else
        m_field->setText(item);
}

void TItemCompleter::Hide()
{
    m_popup->hide();
    m_popup->selectionModel()->clear();
}

bool TItemCompleter::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress: {
        if (watched == m_window && watched != m_owner)
            break;
        if (!Shown())
            break;
        const auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Down:
            MoveChoice(1);
            return true;
        case Qt::Key_Up:
            MoveChoice(-1);
            return true;
        case Qt::Key_PageDown:
            MoveChoice(kVisibleRows);
            return true;
        case Qt::Key_PageUp:
            MoveChoice(-kVisibleRows);
            return true;
        case Qt::Key_Escape:
            Hide();
            return true;
        case Qt::Key_Return:
        case Qt::Key_Enter:
        case Qt::Key_Tab:
        case Qt::Key_Backtab: {
            // The event goes on, so Enter and Tab still do what they do in the field.
            const QModelIndex chosen = m_popup->currentIndex();
            if (chosen.isValid() && m_popup->selectionModel()->isSelected(chosen))
                Take(chosen.row());
            else
                Hide();
            break;
        }
        default:
            break;
        }
        break;
    }
    case QEvent::FocusOut:
    case QEvent::Hide:
    case QEvent::Move:
    case QEvent::Resize:
    case QEvent::WindowDeactivate:
        if (watched != m_popup)
            Hide();
        break;
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
