#include "database/ui/TFormModels.h"

#include "common/AppLog.h"
#include "common/NumberText.h"
#include "database/TableCursor.h"
#include "database/ZelmorDatabase.h"
#include "database/ui/LimitFieldDelegate.h"
#include "tables/FieldNames.h"
#include "widgets/MessageBoxes.h"

#include <QApplication>
#include <QDataWidgetMapper>
#include <QGroupBox>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlTableModel>
#include <QTableView>

namespace {

constexpr int ClientWidth = 887;
constexpr int ClientHeight = 427;
constexpr int FontPixels = 13;
constexpr int NameColumnWidth = 124;
constexpr int EditWidth = 65;
constexpr int EditHeight = 24;
constexpr int EditLeft0 = 80;
constexpr int EditStep = 64;
constexpr int EditTop[2] = { 96, 216 };
constexpr int HeadingTop[2] = { 80, 200 };
constexpr int LambdaHeadingTop[2] = { 73, 192 };
// Heading lefts of the two rows; O2 and NOx sit 8 further right in the second.
constexpr int HeadingLeft[2][8]
    = { { 80, 160, 208, 272, 336, 400, 464, 552 }, { 80, 160, 208, 272, 344, 408, 464, 552 } };
const char *const Headings[8]
    = { "Об/мин", "+/-", "CO, %", "CH, ppm", "CO2, %", "O2, %", "NOx, ppm", "λ" };
// Edit numbers per row, in the column order of the limits (speed … lambda).
constexpr int EditNumber[2][8] = { { 3, 4, 5, 6, 7, 8, 9, 1 }, { 10, 11, 12, 13, 14, 15, 16, 2 } };
const QColor Silver(0xC0, 0xC0, 0xC0);

QPushButton *button(
    QWidget *parent, const char *name, const QString &text, int left, int top, int width)
{
    auto *b = new QPushButton(text, parent);
    b->setObjectName(QLatin1String(name));
    b->setGeometry(left, top, width, 25);
    b->setAutoDefault(false); // Enter in an edit must not add or delete a model
    return b;
}

QLabel *stepLabel(QWidget *parent, const char *name, const QString &text, int left, int top)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    QFont f = l->font();
    f.setBold(true);
    f.setItalic(true);
    l->setFont(f);
    l->setAutoFillBackground(true);
    QPalette pal = l->palette();
    pal.setColor(QPalette::Window, Silver);
    l->setPalette(pal);
    l->setGeometry(left, top, 641, 20);
    return l;
}

} // namespace

TFormModels::TFormModels(ZelmorDatabase *database, QWidget *parent)
    : QDialog(parent)
    , m_db(database)
{
    setObjectName(QStringLiteral("FormModels"));
    setWindowTitle(QStringLiteral("База данных автомобилей"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(FontPixels);
    setFont(f);
    buildLayout();

    m_mapper = new QDataWidgetMapper(this);
    m_mapper->setSubmitPolicy(QDataWidgetMapper::AutoSubmit);
    m_mapper->setItemDelegate(new LimitFieldDelegate(m_mapper));

    connect(m_db->tbModels(), &TableCursor::currentRowChanged, this, &TFormModels::cursorMoved);
    connect(m_db->tbModels(), &TableCursor::dataReloaded, this, [this] { bindModels(); });
    connect(btnAdd, &QPushButton::clicked, this, &TFormModels::btnAddClick);
    connect(btnOK, &QPushButton::clicked, this, &TFormModels::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TFormModels::btnCancelClick);
    connect(btnEdit, &QPushButton::clicked, this, &TFormModels::btnEditClick);
    connect(btnDelete, &QPushButton::clicked, this, &TFormModels::btnDeleteClick);
    connect(btnClose, &QPushButton::clicked, this, &TFormModels::btnCloseClick);
    bindModels();
}

void TFormModels::buildLayout()
{
    DBGrid1 = new QTableView(this);
    DBGrid1->setObjectName(QStringLiteral("DBGrid1"));
    DBGrid1->setGeometry(16, 16, 161, 305);
    DBGrid1->setSelectionBehavior(QAbstractItemView::SelectRows);
    DBGrid1->setSelectionMode(QAbstractItemView::SingleSelection);
    DBGrid1->horizontalHeader()->setStretchLastSection(false);
    DBGrid1->verticalHeader()->setDefaultSectionSize(20);
    DBGrid1->verticalHeader()->setFixedWidth(20);
    DBGrid1->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed
        | QAbstractItemView::AnyKeyPressed);

    GroupBox1 = new QGroupBox(QStringLiteral("Порог ограничения выхлопа"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(192, 16, 681, 353);

    stepLabel(GroupBox1, "Label1", QStringLiteral("Минимальные обороты:"), 16, 42);
    stepLabel(GroupBox1, "Label2", QStringLiteral("Повышенные обороты:"), 13, 161);

    for (int row = 0; row < 2; ++row) {
        for (int col = 0; col < 8; ++col) {
            const int n = EditNumber[row][col];
            auto *edit = new QLineEdit(GroupBox1);
            edit->setObjectName(QStringLiteral("DBEdit%1").arg(n));
            edit->setGeometry(EditLeft0 + col * EditStep, EditTop[row], EditWidth, EditHeight);
            DBEdit[n] = edit;

            auto *heading = new QLabel(QString::fromUtf8(Headings[col]), GroupBox1);
            heading->setObjectName(QStringLiteral("labHeading%1_%2").arg(row + 1).arg(col + 1));
            const bool lambda = col == 7;
            heading->move(HeadingLeft[row][col], lambda ? LambdaHeadingTop[row] : HeadingTop[row]);
            if (lambda) {
                QFont lf = heading->font();
                lf.setPixelSize(FontPixels + 5);
                heading->setFont(lf);
            }
            heading->adjustSize();
            heading->setBuddy(edit);
        }
    }

    btnOK = button(GroupBox1, "btnOK", QStringLiteral("Принять"), 480, 312, 75);
    btnCancel = button(GroupBox1, "btnCancel", QStringLiteral("Отмена"), 568, 312, 75);
    btnOK->hide();
    btnCancel->hide();

    btnAdd = button(this, "btnAdd", QStringLiteral("Добавить"), 360, 384, 105);
    btnEdit = button(this, "btnEdit", QStringLiteral("Редактировать"), 472, 384, 105);
    btnDelete = button(this, "btnDelete", QStringLiteral("Удалить"), 584, 384, 105);
    btnClose = button(this, "btnClose", QStringLiteral("Закрыть"), 760, 384, 105);

    // Grid, the three commands, the speed and gas edits row by row, the two
    // lambdas, accept/cancel, close.
    QList<QWidget *> order { DBGrid1, btnAdd, btnEdit, btnDelete };
    for (int row = 0; row < 2; ++row)
        for (int col = 0; col < 7; ++col)
            order << DBEdit[EditNumber[row][col]];
    order << DBEdit[EditNumber[0][7]] << DBEdit[EditNumber[1][7]] << btnOK << btnCancel << btnClose;
    for (int i = 1; i < order.size(); ++i)
        setTabOrder(order[i - 1], order[i]);
}

void TFormModels::bindModels()
{
    TableCursor *models = m_db->tbModels();
    QSqlTableModel *model = models->model();
    if (!model || DBGrid1->model() == model)
        return;
    DBGrid1->setModel(model);
    const int nameColumn = models->fieldIndex(QStringLiteral("Name"));
    for (int c = 0; c < model->columnCount(); ++c)
        DBGrid1->setColumnHidden(c, c != nameColumn);
    DBGrid1->setColumnWidth(nameColumn, NameColumnWidth);
    model->setHeaderData(nameColumn, Qt::Horizontal, QStringLiteral("Name"));
    connect(DBGrid1->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
        [this](const QModelIndex &current) {
            if (current.isValid())
                gridRowChosen(current.row());
        });

    m_mapper->setModel(model);
    for (int i = 0; i < int(FieldNames::Limits.size()); ++i) {
        const int row = i / 8, col = i % 8;
        m_mapper->addMapping(
            DBEdit[EditNumber[row][col]], models->fieldIndex(QLatin1String(FieldNames::Limits[i])));
    }
    cursorMoved(models->currentRow());
}

void TFormModels::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (QWidget *owner = parentWidget())
        move(owner->window()->geometry().center() - rect().center());
    bindModels();
    applyWritability();
    cursorMoved(m_db->tbModels()->currentRow());
}

void TFormModels::applyWritability()
{
    // A table that may only be read (a read-only database, or a role not
    // granted the models on the station's server) is shown, not edited: a
    // change that could never be stored would keep the editor from closing.
    const QString refusal = m_db->tbModels()->readOnlyReason();
    const bool readOnly = !refusal.isEmpty();
    for (QPushButton *button : { btnAdd, btnEdit, btnDelete }) {
        button->setEnabled(!readOnly && !m_adding);
        button->setToolTip(refusal);
    }
    for (QLineEdit *edit : DBEdit)
        if (edit)
            edit->setReadOnly(readOnly);
    DBGrid1->setEditTriggers(readOnly ? QAbstractItemView::NoEditTriggers
                                      : QAbstractItemView::DoubleClicked
                | QAbstractItemView::EditKeyPressed | QAbstractItemView::AnyKeyPressed);
}

QLineEdit *TFormModels::editWithUnreadableNumber() const
{
    for (QLineEdit *edit : DBEdit) {
        if (!edit || edit->isReadOnly())
            continue;
        const QString text = edit->text().trimmed();
        const int section = m_mapper->mappedSection(edit);
        const QModelIndex index = m_mapper->model()
            ? m_mapper->model()->index(m_mapper->currentIndex(), section)
            : QModelIndex();
        if (text.isEmpty() || !index.isValid()
            || text == LimitFieldDelegate::displayText(index.data(Qt::EditRole)))
            continue;
        if (!tryStrToFloat(text))
            return edit;
    }
    return nullptr;
}

void TFormModels::commitGridEditor()
{
    QWidget *focus = QApplication::focusWidget();
    if (focus && focus != DBGrid1 && DBGrid1->isAncestorOf(focus))
        DBGrid1->setFocus(); // closes the grid's editor so the typed name is kept
}

bool TFormModels::postPendingEdits()
{
    if (!DBGrid1->model())
        return true;
    commitGridEditor();
    // The edit refuses a text that is not a number itself (it says so and
    // keeps the text); the editor must then stay open.
    m_mapper->submit();
    if (QLineEdit *edit = editWithUnreadableNumber()) {
        edit->setFocus();
        return false;
    }
    if (!MessageBoxes::guarded(this, [&] { m_db->tbModels()->postPending(); }))
        return false;
    if (m_adding && !m_db->tbModels()->isInserting())
        setAdding(false);
    return true;
}

void TFormModels::done(int result)
{
    // Every way of closing (the button, Escape, the close box) comes here.
    if (!postPendingEdits())
        return;
    QDialog::done(result);
}

void TFormModels::cursorMoved(int row)
{
    if (!DBGrid1->model())
        return;
    m_mapper->setCurrentIndex(row);
    if (row < 0) {
        for (QLineEdit *edit : DBEdit)
            if (edit)
                edit->clear();
    }
    const QModelIndex current
        = DBGrid1->model()->index(row, m_db->tbModels()->fieldIndex(QStringLiteral("Name")));
    if (DBGrid1->currentIndex().row() != row)
        DBGrid1->setCurrentIndex(current);
}

void TFormModels::gridRowChosen(int row)
{
    if (row == m_db->tbModels()->currentRow())
        return;
    m_mapper->submit(); // what is typed in an edit belongs to the record being left
    if (!MessageBoxes::guarded(this, [&] { m_db->tbModels()->setCurrentRow(row); }))
        cursorMoved(m_db->tbModels()->currentRow());
    if (m_adding && !m_db->tbModels()->isInserting())
        setAdding(false); // the new record was stored or dropped on leaving it
}

void TFormModels::setAdding(bool adding)
{
    m_adding = adding;
    btnOK->setVisible(adding);
    btnCancel->setVisible(adding);
    applyWritability();
}

void TFormModels::btnAddClick()
{
    if (!MessageBoxes::guarded(this, [&] {
            m_mapper->submit();
            m_db->tbModels()->insert();
        }))
        return;
    setAdding(true);
    DBEdit[EditNumber[0][0]]->setFocus();
    WriteLog(QStringLiteral("add model"));
}

void TFormModels::btnOKClick()
{
    m_mapper->submit();
    commitGridEditor();
    // A record the table refuses stays pending, and the editor stays in adding.
    if (MessageBoxes::guarded(this, [&] { m_db->tbModels()->post(); }))
        setAdding(false);
}

void TFormModels::btnCancelClick()
{
    setAdding(false);
    m_db->tbModels()->cancel();
}

void TFormModels::btnEditClick()
{
    WriteLog(QStringLiteral("edit model"));
}

void TFormModels::btnDeleteClick()
{
    if (m_db->tbModels()->currentRow() < 0)
        return;
    if (!MessageBoxes::confirm(this, QStringLiteral("Вы действительно хотите удалить запись?")))
        return;
    if (MessageBoxes::guarded(this, [&] { m_db->tbModels()->deleteCurrent(); }))
        WriteLog(QStringLiteral("delete model"));
}

void TFormModels::btnCloseClick()
{
    close();
}
