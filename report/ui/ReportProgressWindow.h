#pragma once

#include "report/ReportProgress.h"

#include <QPointer>
#include <QProgressDialog>

class QWidget;

// The report's progress display: a small window with a gauge, shown while
// the report is prepared and printed.
class ReportProgressWindow : public ReportProgress
{
public:
    explicit ReportProgressWindow(QWidget *parent = nullptr);
    ~ReportProgressWindow() override;

    // The window it shows stands over this widget (the window printing).
    void setParentWidget(QWidget *parent);

    void begin(const QString &caption, int steps) override;
    void advance(int done) override;
    void end() override;

    // The window while it is shown (tests); null otherwise.
    QProgressDialog *window() const;
    // How many times it has been shown.
    int shownCount() const { return m_shown; }

private:
    QPointer<QWidget> m_parent;
    // Goes with its parent window when that closes for good.
    QPointer<QProgressDialog> m_dialog;
    int m_shown = 0;
};
