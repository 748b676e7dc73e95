#include "report/ReportTemplate.h"

#include "common/ZelmorError.h"
#include "report/ReportJudgement.h"
#include "report/ReportNames.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>

namespace {

const QRegularExpression &namePattern()
{
    static const QRegularExpression pattern(
        QStringLiteral("\\[([A-Za-z_][A-Za-z0-9_]*(?:\\.[A-Za-z_][A-Za-z0-9_]*)?)\\]"));
    return pattern;
}

} // namespace

ReportTemplate ReportTemplate::load(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw IoError(QStringLiteral("Не удалось открыть шаблон отчёта %1: %2")
                          .arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw IoError(QStringLiteral("Не удалось прочитать шаблон отчёта %1: %2")
                          .arg(path, file.errorString()));
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder(bytes);
    if (decoder.hasError())
        throw ZelmorError(QStringLiteral("Шаблон отчёта %1 не в кодировке UTF-8.").arg(path));
    return fromText(text, path);
}

ReportTemplate ReportTemplate::fromText(const QString &text, const QString &origin)
{
    // An unknown name is a fault of the template: it is refused here rather
    // than printed as an empty field.
    auto it = namePattern().globalMatch(text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        const QString name = m.captured(1);
        if (!ReportNames::isKnown(name)) {
            const int line = int(text.left(m.capturedStart()).count(QLatin1Char('\n'))) + 1;
            throw ZelmorError(QStringLiteral("Шаблон отчёта %1, строка %2: неизвестное имя [%3].")
                                  .arg(origin)
                                  .arg(line)
                                  .arg(name));
        }
    }
    ReportTemplate t;
    t.m_origin = origin;
    t.m_text = text;
    return t;
}

QString ReportTemplate::fill(const ReportData &data) const
{
    const ReportJudgement judgement = ReportJudgement::judge(data.qrResult, data.qrModel);
    QString out;
    out.reserve(m_text.size() + m_text.size() / 4);
    qsizetype from = 0;
    auto it = namePattern().globalMatch(m_text);
    while (it.hasNext()) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(m_text).mid(from, m.capturedStart() - from);
        out += ReportNames::text(m.captured(1), data, judgement).toHtmlEscaped();
        from = m.capturedEnd();
    }
    out += QStringView(m_text).mid(from);
    return out;
}
