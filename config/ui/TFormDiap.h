#pragma once

#include "config/DisplayLimits.h"

#include <QDialog>

#include <array>
#include <functional>

class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

// The measurement ranges dialog "Настройка диапазонов": the lower and upper
// display limit of each gas, as the gas graph and the strip chart draw them.
// It keeps no limits of its own: it shows the source's limits when opened and
// hands applied ones to the sinks. The main window wires
//
//   FormDiap->setDisplayLimitsSource(...);  // the gas graph's RangeLow/RangeHigh[0..4]
//   FormDiap->setGasGraphSink(...);         // set them, PlaceScaleLabels(), Draw()
//   FormDiap->setChartSink(...);            // the strip chart's ChannelMin/ChannelMax
//   FormDiap->setSaveDisplayRanges(...);    // FormOptions->SaveDisplayRanges(limits)
//
// Apply reads all ten edits first: a text that is not a number, or a gas
// whose lower limit is not below its upper one, is refused with a message and
// changes nothing. The dialog stays open after applying.
class TFormDiap : public QDialog
{
    Q_OBJECT

public:
    static constexpr int ClientWidth = 282;
    static constexpr int ClientHeight = 291;

    explicit TFormDiap(QWidget *parent = nullptr);

    void setDisplayLimitsSource(std::function<DisplayLimits()> source);
    void setGasGraphSink(std::function<void(const DisplayLimits &)> sink);
    void setChartSink(std::function<void(const DisplayLimits &)> sink);
    // Writes the section "Diapazone"; may throw ZelmorError (IoError).
    void setSaveDisplayRanges(std::function<void(const DisplayLimits &)> save);
    // How a refusal or a write error is shown; a warning box titled
    // "Сообщение" when not set.
    void setErrorDisplay(std::function<void(const QString &)> display);

    // The limits shown when the dialog opens: the source's, else the last
    // applied ones (the defaults at first).
    DisplayLimits currentLimits() const;

    // Handlers, public so that the main window and tests can run them.
    void FormShow();
    void btnAppendClick();
    void btnCloseClick();

    QGroupBox *GroupBox1 = nullptr;
    QLineEdit *edMinCO = nullptr;
    QLineEdit *edMaxCO = nullptr;
    QLineEdit *edMinCH = nullptr;
    QLineEdit *edMaxCH = nullptr;
    QLineEdit *edMinCO2 = nullptr;
    QLineEdit *edMaxCO2 = nullptr;
    QLineEdit *edMinO2 = nullptr;
    QLineEdit *edMaxO2 = nullptr;
    QLineEdit *edMinNOx = nullptr;
    QLineEdit *edMaxNOx = nullptr;
    QPushButton *btnAppend = nullptr;
    QPushButton *btnClose = nullptr;

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildView();
    // The ten edits in the order lower CO, upper CO, ... lower NOx, upper NOx.
    std::array<QLineEdit *, 10> edits() const;
    void showError(const QString &text);

    DisplayLimits m_applied;
    std::function<DisplayLimits()> m_source;
    std::function<void(const DisplayLimits &)> m_gasGraphSink;
    std::function<void(const DisplayLimits &)> m_chartSink;
    std::function<void(const DisplayLimits &)> m_save;
    std::function<void(const QString &)> m_errorDisplay;
};
