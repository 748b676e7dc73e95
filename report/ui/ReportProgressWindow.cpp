#include "report/ui/ReportProgressWindow.h"

#include <QCoreApplication>
#include <QProgressDialog>

ReportProgressWindow::ReportProgressWindow(QWidget *parent)
    : m_parent(parent)
{ }

ReportProgressWindow::~ReportProgressWindow()
{
    delete m_dialog;
}

void ReportProgressWindow::setParentWidget(QWidget *parent)
{
    if (m_parent == parent)
        return;
    m_parent = parent;
    delete m_dialog;
    m_dialog = nullptr;
}

void ReportProgressWindow::begin(const QString &caption, int steps)
{
    if (!m_dialog) {
        m_dialog = new QProgressDialog(m_parent);
        m_dialog->setObjectName(QStringLiteral("ReportProgress"));
        m_dialog->setWindowTitle(QStringLiteral("Отчёт"));
        m_dialog->setCancelButton(nullptr);
        m_dialog->setMinimumDuration(0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setWindowModality(Qt::WindowModal);
    }
    m_dialog->setLabelText(caption);
    m_dialog->setRange(0, qMax(1, steps));
    m_dialog->setValue(0);
    m_dialog->show();
    ++m_shown;
    // Painted now: the work that follows keeps the event loop busy.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void ReportProgressWindow::advance(int done)
{
    if (m_dialog)
        m_dialog->setValue(done);
}

void ReportProgressWindow::end()
{
    if (m_dialog)
        m_dialog->hide();
}

QProgressDialog *ReportProgressWindow::window() const
{
    return m_dialog && m_dialog->isVisible() ? m_dialog : nullptr;
}
