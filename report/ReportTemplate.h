#pragma once

#include "report/ReportData.h"

#include <QString>

// A report template: HTML (the rich-text subset a text document takes), in
// UTF-8, with data names in brackets, e.g. [qrResult.MinCO] (ReportNames
// lists them). Pages break where an element asks for it
// (style="page-break-before: always"). A literal bracket is written &#91;.
class ReportTemplate
{
public:
    // Reads and checks the file. Throws IoError when it cannot be read and
    // ZelmorError naming the first unknown name and its line.
    static ReportTemplate load(const QString &path);
    // The same for a text in hand; `origin` names it in messages.
    static ReportTemplate fromText(const QString &text, const QString &origin);

    QString path() const { return m_origin; }
    QString text() const { return m_text; }

    // The HTML with every name replaced by its text, escaped for HTML.
    QString fill(const ReportData &data) const;

private:
    QString m_origin;
    QString m_text;
};
