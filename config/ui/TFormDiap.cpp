#include "config/ui/TFormDiap.h"

#include "common/FormatSettings.h"
#include "common/ZelmorError.h"
#include "config/DisplayRangesText.h"
#include "widgets/MessageBoxes.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>

namespace {

constexpr int FontPixels = 13;
const QRect GroupRect(8, 8, 265, 233);
constexpr int FirstRowTop = 56;
constexpr int RowSpacing = 32;
constexpr int GasLabelLeft = 21;
constexpr int GasLabelWidth = 40;
constexpr int MinEditLeft = 64;
constexpr int MaxEditLeft = 144;
const QSize EditSize(60, 24);
constexpr int UnitLeft = 216;
constexpr int UnitWidth = 40;
const QPoint MinHeadingPos(80, 32);
const QPoint MaxHeadingPos(152, 32);
const QSize ButtonSize(97, 25);
const QPoint AppendPos(24, 256);
const QPoint ClosePos(152, 256);

struct GasRow
{
    const char *caption;
    const char *unit;
    const char *minName;
    const char *maxName;
};
const GasRow Rows[DisplayLimits::GasCount] = {
    { "CO:", "%", "edMinCO", "edMaxCO" },
    { "CH:", "ppm", "edMinCH", "edMaxCH" },
    { "CO2:", "%", "edMinCO2", "edMaxCO2" },
    { "O2:", "%", "edMinO2", "edMaxO2" },
    { "NOx:", "ppm", "edMinNOx", "edMaxNOx" },
};

} // namespace

TFormDiap::TFormDiap(QWidget *parent)
    : QDialog(parent)
{
    buildView();
}

void TFormDiap::buildView()
{
    setObjectName(QStringLiteral("FormDiap"));
    setWindowTitle(QStringLiteral("Настройка диапазонов"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
        | Qt::WindowCloseButtonHint);
    setFixedSize(ClientWidth, ClientHeight);
    QFont dialogFont(QStringLiteral("Arial"));
    dialogFont.setPixelSize(FontPixels);
    setFont(dialogFont);

    GroupBox1 = new QGroupBox(QStringLiteral("Границы отображения газов"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    GroupBox1->setGeometry(GroupRect);

    auto *minHeading = new QLabel(QStringLiteral("Мин."), GroupBox1);
    minHeading->move(MinHeadingPos);
    auto *maxHeading = new QLabel(QStringLiteral("Макс."), GroupBox1);
    maxHeading->move(MaxHeadingPos);

    QLineEdit **minEdits[] = { &edMinCO, &edMinCH, &edMinCO2, &edMinO2, &edMinNOx };
    QLineEdit **maxEdits[] = { &edMaxCO, &edMaxCH, &edMaxCO2, &edMaxO2, &edMaxNOx };
    QWidget *previous = nullptr;
    for (int gas = 0; gas < DisplayLimits::GasCount; ++gas) {
        const GasRow &row = Rows[gas];
        const int top = FirstRowTop + gas * RowSpacing;
        auto makeEdit = [&](const char *name, int left) {
            auto *edit = new QLineEdit(GroupBox1);
            edit->setObjectName(QLatin1String(name));
            edit->setGeometry(QRect(QPoint(left, top), EditSize));
            // Tab order runs row by row, lower before upper.
            if (previous)
                setTabOrder(previous, edit);
            previous = edit;
            return edit;
        };
        *minEdits[gas] = makeEdit(row.minName, MinEditLeft);
        *maxEdits[gas] = makeEdit(row.maxName, MaxEditLeft);
        auto *caption = new QLabel(QLatin1String(row.caption), GroupBox1);
        caption->setGeometry(GasLabelLeft, top, GasLabelWidth, EditSize.height());
        caption->setBuddy(*minEdits[gas]);
        auto *unit = new QLabel(QLatin1String(row.unit), GroupBox1);
        unit->setGeometry(UnitLeft, top, UnitWidth, EditSize.height());
    }

    btnAppend = new QPushButton(QStringLiteral("Применить"), this);
    btnAppend->setObjectName(QStringLiteral("btnAppend"));
    btnAppend->setGeometry(QRect(AppendPos, ButtonSize));
    btnAppend->setAutoDefault(false);
    btnClose = new QPushButton(QStringLiteral("Закрыть"), this);
    btnClose->setObjectName(QStringLiteral("btnClose"));
    btnClose->setGeometry(QRect(ClosePos, ButtonSize));
    btnClose->setAutoDefault(false);
    setTabOrder(previous, btnAppend);
    setTabOrder(btnAppend, btnClose);

    connect(btnAppend, &QPushButton::clicked, this, &TFormDiap::btnAppendClick);
    connect(btnClose, &QPushButton::clicked, this, &TFormDiap::btnCloseClick);
}

std::array<QLineEdit *, 10> TFormDiap::edits() const
{
    return { edMinCO, edMaxCO, edMinCH, edMaxCH, edMinCO2, edMaxCO2, edMinO2, edMaxO2, edMinNOx,
        edMaxNOx };
}

void TFormDiap::setDisplayLimitsSource(std::function<DisplayLimits()> source)
{
    m_source = std::move(source);
}

void TFormDiap::setGasGraphSink(std::function<void(const DisplayLimits &)> sink)
{
    m_gasGraphSink = std::move(sink);
}

void TFormDiap::setChartSink(std::function<void(const DisplayLimits &)> sink)
{
    m_chartSink = std::move(sink);
}

void TFormDiap::setSaveDisplayRanges(std::function<void(const DisplayLimits &)> save)
{
    m_save = std::move(save);
}

void TFormDiap::setErrorDisplay(std::function<void(const QString &)> display)
{
    m_errorDisplay = std::move(display);
}

DisplayLimits TFormDiap::currentLimits() const
{
    return m_source ? m_source() : m_applied;
}

void TFormDiap::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (QWidget *owner = parentWidget() ? parentWidget()->window() : nullptr)
        move(owner->frameGeometry().center() - QPoint(width() / 2, height() / 2));
    FormShow();
}

void TFormDiap::FormShow()
{
    const DisplayRangesText::Texts texts
        = DisplayRangesText::format(currentLimits(), FormatSettings::current().decimalSeparator);
    const auto all = edits();
    for (int i = 0; i < DisplayRangesText::EditCount; ++i)
        all[i]->setText(texts[i]);
}

void TFormDiap::btnAppendClick()
{
    const auto all = edits();
    DisplayRangesText::Texts texts;
    for (int i = 0; i < DisplayRangesText::EditCount; ++i)
        texts[i] = all[i]->text();
    const DisplayRangesText::Reading reading
        = DisplayRangesText::read(texts, FormatSettings::current().decimalSeparator);
    if (!reading.Ok) {
        all[reading.BadEdit]->setFocus();
        all[reading.BadEdit]->selectAll();
        showError(reading.Error);
        return;
    }

    // Both graphs take the limits first, so they agree even when the file
    // cannot be written; the limits then hold for this run only.
    m_applied = reading.Limits;
    if (m_gasGraphSink)
        m_gasGraphSink(reading.Limits);
    if (m_chartSink)
        m_chartSink(reading.Limits);
    if (m_save) {
        try {
            m_save(reading.Limits);
        } catch (const ZelmorError &e) {
            showError(e.message());
        }
    }
}

void TFormDiap::btnCloseClick()
{
    close();
}

void TFormDiap::showError(const QString &text)
{
    if (m_errorDisplay) {
        m_errorDisplay(text);
        return;
    }
    MessageBoxes::warning(this, text);
}
