#pragma once

#include <QString>

// The link panel's remembered choices, section "Port" of "conf/zme.ini":
// indexes into its port and speed lists and the state of its 38400 check box
// (0 off, 1 on, 2 undecided). A missing file or key, or a text that is not an
// integer, gives the default.
struct LinkPanelChoice
{
    int portIndex = 0;
    int speedIndex = 0;
    int fastSpeed = 1;
    // Why the file was not read (IniFile::refusal()); empty when it was.
    QString refusal;
};

class LinkPanelIni
{
public:
    // "conf/zme.ini" of the program folder, or the file given (tests).
    explicit LinkPanelIni(const QString &path = QString());

    LinkPanelChoice read() const;

private:
    QString m_path;
};
