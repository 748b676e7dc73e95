// Runs under the program's own application object (its own main), so the
// exception display is the one the program uses.
#include "app/ZelmorApplication.h"
#include "common/ZelmorError.h"
#include "window_support.h"

#include <QPushButton>
#include <QTest>
#include <clocale>
#include <gtest/gtest.h>

TEST(ExceptionDisplay, AnErrorEscapingAHandlerIsShownAndWhatItChangedStays)
{
    struct Case
    {
        std::function<void()> fail;
        QString expected;
    };
    const Case cases[] = {
        { [] { throw ZelmorError(QStringLiteral("Таблица \"reports.db\" недоступна.")); },
            QStringLiteral("Таблица \"reports.db\" недоступна.") },
        { [] { throw std::runtime_error("disk full"); }, QStringLiteral("disk full") },
    };
    for (const Case &c : cases) {
        QPushButton button(QStringLiteral("Сохранить"));
        int changed = 0;
        QObject::connect(&button, &QPushButton::clicked, [&] {
            ++changed;
            c.fail();
        });
        button.show();
        ModalAnswerer answerer;
        QTest::mouseClick(&button, Qt::LeftButton);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !answerer.boxes.isEmpty(); }, 3000));
        EXPECT_EQ(answerer.boxes.first().title, QStringLiteral("Сообщение"));
        EXPECT_EQ(answerer.boxes.first().text, c.expected);
        EXPECT_EQ(changed, 1);

        // The program goes on: the next click runs the handler again.
        QTest::mouseClick(&button, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return answerer.boxes.size() == 2; }, 3000));
        EXPECT_EQ(changed, 2);
    }
}

TEST(ExceptionDisplay, NumbersOfTheCLibraryStayInTheCLocale)
{
    EXPECT_EQ(std::string(std::setlocale(LC_NUMERIC, nullptr)), "C");
}

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("LC_ALL", "C.UTF-8");
    ZelmorApplication app(argc, argv);
    ZelmorApplication::setUpFormats();
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
