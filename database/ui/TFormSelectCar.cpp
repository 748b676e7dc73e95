#include "database/ui/TFormSelectCar.h"

#include "common/AppLog.h"
#include "database/TableCursor.h"
#include "database/ZelmorDatabase.h"
#include "widgets/MessageBoxes.h"

#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QScreen>
#include <QSqlTableModel>

namespace {

constexpr int ClientWidth = 345;
constexpr int ClientHeight = 256;
constexpr int FontPixels = 16;
constexpr int HeadingFontPixels = 27;
const QColor Silver(0xC0, 0xC0, 0xC0);

QLabel *label(QWidget *parent, const char *name, const QString &text, int left, int top)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->move(left, top);
    l->adjustSize();
    return l;
}

} // namespace

TFormSelectCar::TFormSelectCar(ZelmorDatabase *database, QWidget *parent)
    : QDialog(parent)
    , m_db(database)
{
    setObjectName(QStringLiteral("FormSelectCar"));
    setWindowTitle(QString());
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    QFont f(QStringLiteral("Arial"));
    f.setPixelSize(FontPixels);
    setFont(f);

    auto *shape = new QFrame(this);
    shape->setObjectName(QStringLiteral("Shape1"));
    shape->setGeometry(-8, 0, 361, 49);
    shape->setAutoFillBackground(true);
    QPalette pal = shape->palette();
    pal.setColor(QPalette::Window, Silver);
    shape->setPalette(pal);

    QLabel *heading = label(this, "Label5", QStringLiteral("Выбор автомобиля"), 48, 8);
    QFont hf = heading->font();
    hf.setPixelSize(HeadingFontPixels);
    heading->setFont(hf);
    heading->adjustSize();

    QLabel *modelLabel = label(this, "Label2", QStringLiteral("Модель:"), 39, 80);
    cboxModel = new QComboBox(this);
    cboxModel->setObjectName(QStringLiteral("cboxModel"));
    cboxModel->setGeometry(112, 80, 193, 26);
    modelLabel->setBuddy(cboxModel);

    QLabel *numberLabel = label(this, "Label3", QStringLiteral("Гос. номер:"), 16, 128);
    edGosNom = new QLineEdit(this);
    edGosNom->setObjectName(QStringLiteral("edGosNom"));
    edGosNom->setGeometry(112, 128, 193, 26);
    numberLabel->setBuddy(edGosNom);

    auto *bevel = new QFrame(this);
    bevel->setObjectName(QStringLiteral("Bevel1"));
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    bevel->setGeometry(-16, 200, 385, 2);

    btnOK = new QPushButton(QStringLiteral("Готово"), this);
    btnOK->setObjectName(QStringLiteral("btnOK"));
    btnOK->setGeometry(24, 216, 89, 25);
    btnOK->setDefault(true);
    btnCancel = new QPushButton(QStringLiteral("Отмена"), this);
    btnCancel->setObjectName(QStringLiteral("btnCancel"));
    btnCancel->setGeometry(208, 216, 91, 25);
    btnCancel->setAutoDefault(false);

    // The list shows the model the shared cursor stands on, whoever moved it;
    // a re-read of the table resets the list, so it is put back.
    connect(
        m_db->tbModels(), &TableCursor::currentRowChanged, this, &TFormSelectCar::showCursorModel);
    connect(m_db->tbModels(), &TableCursor::dataReloaded, this, &TFormSelectCar::showCursorModel);

    connect(cboxModel, &QComboBox::activated, this, &TFormSelectCar::cboxModelChange);
    connect(btnOK, &QPushButton::clicked, this, &TFormSelectCar::btnOKClick);
    connect(btnCancel, &QPushButton::clicked, this, &TFormSelectCar::btnCancelClick);
}

void TFormSelectCar::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FormShow();
}

void TFormSelectCar::bindModels()
{
    TableCursor *models = m_db->tbModels();
    if (!models->model() || cboxModel->model() == models->model())
        return;
    cboxModel->setModel(models->model());
    cboxModel->setModelColumn(models->fieldIndex(QStringLiteral("Name")));
}

void TFormSelectCar::FormShow()
{
    bindModels();
    edGosNom->clear();
    showCursorModel();
    edGosNom->setFocus();
    emit formShown();
}

void TFormSelectCar::showCursorModel()
{
    bindModels();
    const TableCursor *models = m_db->tbModels();
    const int row = models->isPositionChosen() ? models->currentRow() : -1;
    if (cboxModel->currentIndex() != row)
        cboxModel->setCurrentIndex(row);
}

void TFormSelectCar::cboxModelChange(int row)
{
    if (row < 0)
        return;
    if (!MessageBoxes::guarded(this, [&] { m_db->tbModels()->setCurrentRow(row); }))
        showCursorModel(); // the cursor could not leave its record: show where it stands
}

void TFormSelectCar::btnOKClick()
{
    if (edGosNom->text().isEmpty()) {
        MessageBoxes::information(this, QStringLiteral("Введите гос. номер автомобиля."));
        return;
    }
    // The test is judged against the model the operator sees in the list.
    const int row = cboxModel->currentIndex();
    if (row < 0) {
        MessageBoxes::warning(this, QStringLiteral("Выберите модель автомобиля."));
        cboxModel->setFocus();
        return;
    }
    if (m_db->tbModels()->currentRow() != row
        && !MessageBoxes::guarded(this, [&] { m_db->tbModels()->setCurrentRow(row); }))
        return;
    const ModelRecord model = m_db->CurrentModel();
    if (model.Index <= 0) {
        // A model being added in the editor has no number yet to store with the result.
        MessageBoxes::warning(this, QStringLiteral("Выберите модель автомобиля."));
        return;
    }
    m_selected.modelIndex = model.Index;
    m_selected.modelName = model.Name;
    m_selected.govNumber = QLocale().toUpper(edGosNom->text());
    m_selected.limits = model.limits;
    WriteLog(QStringLiteral("start measure"));
    emit vehicleSelected(m_selected);
    accept();
}

void TFormSelectCar::btnCancelClick()
{
    emit selectionCancelled();
    reject();
}

void TFormSelectCar::done(int result)
{
    QDialog::done(result);
    emit formClosed();
}
