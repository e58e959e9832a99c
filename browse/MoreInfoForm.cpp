#include "browse/MoreInfoForm.h"
#include "browse/RowsView.h"
#include "output/ListTexts.h"

#include <QFrame>

TfrmMoreInfo::TfrmMoreInfo(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("frmMoreInfo"));
    if (parent)
        setFont(parent->font());
    setFixedSize(631, 453);
    bvlRect = new QFrame(this);
    bvlRect->setObjectName(QStringLiteral("bvlRect"));
    bvlRect->setFrameStyle(QFrame::Box | QFrame::Sunken);
    bvlRect->setGeometry(8, 8, 615, 432);
    lvwRecs = CreateRowsView(this, QStringLiteral("lvwRecs"),
                             {{QStringLiteral("日期"), 80},
                              {QStringLiteral("项目"), 180},
                              {QString(), 80, true},
                              {QStringLiteral("备注"), 220}});
    lvwRecs->setGeometry(20, 20, 592, 407);
    lvwRecs->setAccessibleName(QStringLiteral("项目明细"));
    lvwRecs->setAccessibleDescription(QStringLiteral("这个项目在所查期间的每条记录：日期、项目、金额、备注"));
}

void TfrmMoreInfo::ShowRecords(const QString &amountCaption, QList<TRecord> records)
{
    TRowsModel *model = RowsModel(lvwRecs);
    model->SetCaption(3, amountCaption);
    const int count = int(records.size());
    model->SetSource(count, [records = std::move(records)](int row, int field) {
        const TRecord &r = records[row];
        switch (field) {
        case 0:
            return DateText(r.date);
        case 1:
            return r.item;
        case 2:
            return FormatFen(r.amount);
        case 3:
            return r.notes;
        default:
            return QString();
        }
    });
}
