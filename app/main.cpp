#include "app/ProgramWindows.h"
#include "app/TFormMain.h"
#include "app/ZelmorApplication.h"
#include "database/VerifyReports.h"

int main(int argc, char **argv)
{
    if (const int checked = VerifyReports::fromCommandLine(argc, argv); checked >= 0)
        return checked;
    ZelmorApplication app(argc, argv);
    ZelmorApplication::setApplicationName(QStringLiteral("Zelmor"));
    ZelmorApplication::setUpFormats();

    int result = 0;
    try {
        ProgramWindows windows;
        windows.endOnStopSignals();
        windows.FormMain()->show();
        result = ZelmorApplication::exec();
    } catch (...) {
        ZelmorApplication::showError(ZelmorApplication::messageOf(std::current_exception()));
    }
    return result;
}
