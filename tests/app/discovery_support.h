#pragma once

#include "app/DiscoveryPage.h"
#include "app/SecondaryPages.h"
#include "common/FormatSettings.h"
#include "device/TOpros_ZMX.h"
#include "graphs/TGraphBox.h"
#include "graphs/ui/GraphPaintBox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QTabBar>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QWidget>

#include <memory>

// The research page as the main window has it: the window's pages, the data
// grid with its header, the chart created and configured as at start-up, file
// dialogs that answer with a path of the test's choosing, and messages kept.
struct ResearchPage
{
    explicit ResearchPage(TOpros_ZMX &opros)
    {
        // As in the main window: the pages fill the window, the tab strip is hidden.
        tabs.resize(1024, 743);
        tabs.setDocumentMode(true);
        tabs.tabBar()->hide();
        pages = new SecondaryPages(&tabs, &diagnose);
        pages->writeDataHeader();
        tabs.setCurrentIndex(SecondaryPages::DiscoveryIndex);
        page = std::make_unique<DiscoveryPage>(
            DiscoveryPage::Widgets {
                pages->tabDiscovery, pages->labDStatus, pages->TabSheet3, pages->grData },
            opros);
        page->CreateChart();
        page->setChannelRanges(DisplayLimits());
        page->ConfigureChart();
        page->setMessageDisplay([this](const QString &text) { messages << text; });
        page->setStopPolling([this] { ++stops; });
        DiscoveryPage::FileDialogs dialogs;
        dialogs.saveFileName = [this](QWidget *, const QString &folder, const QString &proposed) {
            dialogFolder = folder;
            proposedName = proposed;
            return answer;
        };
        dialogs.openFileName = [this](QWidget *, const QString &folder) {
            dialogFolder = folder;
            return answer;
        };
        page->setFileDialogs(dialogs);
    }

    TGraphBox &chart() const { return *page->chart(); }
    QString path(const QString &name) const { return folder.filePath(name); }
    QByteArray read(const QString &name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    void write(const QString &name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        if (file.open(QIODevice::WriteOnly))
            file.write(bytes);
    }

    QTabWidget tabs;
    QWidget diagnose;
    SecondaryPages *pages = nullptr;
    std::unique_ptr<DiscoveryPage> page;
    QTemporaryDir folder;
    QString answer; // what the next file dialog returns
    QString dialogFolder;
    QString proposedName;
    QStringList messages;
    int stops = 0;
};
