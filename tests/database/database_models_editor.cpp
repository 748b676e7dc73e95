#include "database_fixture.h"
#include "database_message_box_answer.h"
#include "database_permissions_fixture.h"

#include "common/FormatSettings.h"
#include "database/TableCursor.h"
#include "database/ui/TFormModels.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

#include <functional>

namespace {

class ModelsEditorTest : public DatabaseFixture
{
protected:
    void SetUp() override
    {
        DatabaseFixture::SetUp();
        FormatSettings::setDecimalSeparator(QLatin1Char(','));
        openDb();
        clearLog();
        form = std::make_unique<TFormModels>(db.get());
        form->show();
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        count = db->tbModels()->rowCount();
    }
    void TearDown() override
    {
        form.reset();
        FormatSettings::setDecimalSeparator(QLatin1Char('.'));
        DatabaseFixture::TearDown();
    }

    void typeInto(QLineEdit *edit, const QString &text)
    {
        edit->setFocus();
        edit->selectAll();
        for (QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }

    void chooseRow(int row)
    {
        form->DBGrid1->setFocus(); // leaving an edit hands its text to the record
        form->DBGrid1->setCurrentIndex(
            form->DBGrid1->model()->index(row, db->tbModels()->fieldIndex(QStringLiteral("Name"))));
    }

    QVariant stored(const char *field, int index)
    {
        const QVariantList v
            = column(QStringLiteral("SELECT %1 FROM \"models.DB\" WHERE \"Index\" = %2")
                         .arg(QLatin1String(field))
                         .arg(index));
        return v.isEmpty() ? QVariant() : v.first();
    }

    std::unique_ptr<TFormModels> form;
    int count = 0;
};

TEST_F(ModelsEditorTest, EditsShowTheCurrentModelAndFollowTheGrid)
{
    EXPECT_EQ(form->DBEdit[3]->text(), QStringLiteral("800")); // MinTax
    EXPECT_EQ(form->DBEdit[5]->text(), QStringLiteral("3,5")); // MinCO
    chooseRow(3);
    EXPECT_EQ(db->tbModels()->currentRow(), 3);
    EXPECT_EQ(form->DBEdit[5]->text(), QStringLiteral("0,3"));
    EXPECT_EQ(form->DBEdit[1]->text(), QStringLiteral("1")); // MinLambda
    EXPECT_EQ(form->DBEdit[16]->text(), QStringLiteral("0")); // MaxNOx
}

TEST_F(ModelsEditorTest, AddAcceptStoresTheNewModel)
{
    QTest::mouseClick(form->btnAdd, Qt::LeftButton);
    EXPECT_TRUE(form->isAdding());
    EXPECT_TRUE(form->btnOK->isVisible());
    EXPECT_TRUE(form->btnCancel->isVisible());
    EXPECT_FALSE(form->btnAdd->isEnabled());
    EXPECT_FALSE(form->btnEdit->isEnabled());
    EXPECT_FALSE(form->btnDelete->isEnabled());
    EXPECT_EQ(QApplication::focusWidget(), form->DBEdit[3]);
    EXPECT_EQ(db->tbModels()->currentRow(), count);

    // The name is typed into the grid's new row.
    form->DBGrid1->edit(form->DBGrid1->currentIndex());
    QWidget *nameEditor = QApplication::focusWidget();
    ASSERT_NE(nameEditor, nullptr);
    for (QChar ch : QStringLiteral("Опытный"))
        QTest::sendKeyEvent(QTest::Click, nameEditor, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    typeInto(form->DBEdit[3], QStringLiteral("820"));
    typeInto(form->DBEdit[5], QStringLiteral("0,45"));
    QTest::mouseClick(form->btnOK, Qt::LeftButton);

    EXPECT_FALSE(form->isAdding());
    EXPECT_FALSE(form->btnOK->isVisible());
    EXPECT_TRUE(form->btnAdd->isEnabled());
    ASSERT_EQ(db->tbModels()->rowCount(), count + 1);
    const ModelRecord added = db->CurrentModel();
    EXPECT_EQ(added.Name, QStringLiteral("Опытный"));
    EXPECT_GT(added.Index, count);
    EXPECT_EQ(stored("MinTax", added.Index).toDouble(), 820);
    EXPECT_EQ(stored("MinCO", added.Index).toDouble(), 0.45);
    EXPECT_EQ(logLines(), QStringList { QStringLiteral("add model") });
}

TEST_F(ModelsEditorTest, AddCancelDropsTheNewModel)
{
    QTest::mouseClick(form->btnAdd, Qt::LeftButton);
    typeInto(form->DBEdit[3], QStringLiteral("900"));
    QTest::mouseClick(form->btnCancel, Qt::LeftButton);
    EXPECT_FALSE(form->isAdding());
    EXPECT_EQ(db->tbModels()->rowCount(), count);
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM \"models.DB\"")), QVariantList { count });
}

TEST_F(ModelsEditorTest, EditIsStoredWhenTheOperatorMovesOn)
{
    QTest::mouseClick(form->btnEdit, Qt::LeftButton);
    EXPECT_EQ(logLines(), QStringList { QStringLiteral("edit model") });
    const int index = db->CurrentModel().Index;
    typeInto(form->DBEdit[6], QStringLiteral("1100")); // MinCH
    chooseRow(1);
    EXPECT_EQ(stored("MinCH", index).toDouble(), 1100);
    EXPECT_EQ(db->tbModels()->currentRow(), 1);
}

TEST_F(ModelsEditorTest, TextThatIsNotANumberIsRefusedAndTheValueKept)
{
    const int index = db->CurrentModel().Index;
    MessageBoxAnswer answer(QMessageBox::Ok);
    typeInto(form->DBEdit[5], QStringLiteral("abc"));
    form->DBGrid1->setFocus();
    EXPECT_TRUE(QTest::qWaitFor([&] { return answer.shown(); }, 5000));
    EXPECT_EQ(answer.text, QStringLiteral("'abc' is not a valid floating point value"));
    EXPECT_EQ(answer.icon, QMessageBox::Warning);
    chooseRow(1);
    EXPECT_EQ(stored("MinCO", index).toDouble(), 3.5);
}

TEST_F(ModelsEditorTest, DeleteAsksFirst)
{
    chooseRow(2);
    const int index = db->CurrentModel().Index;
    const QString next = db->modelByIndex(index + 1).Name;
    {
        MessageBoxAnswer answer(QMessageBox::No);
        QTest::mouseClick(form->btnDelete, Qt::LeftButton);
        EXPECT_TRUE(answer.shown());
        EXPECT_EQ(answer.text, QStringLiteral("Вы действительно хотите удалить запись?"));
        EXPECT_EQ(answer.title, QStringLiteral("Сообщение"));
        EXPECT_EQ(answer.icon, QMessageBox::Information);
        EXPECT_EQ(answer.buttons, QMessageBox::Yes | QMessageBox::No);
    }
    EXPECT_EQ(db->tbModels()->rowCount(), count);
    EXPECT_TRUE(logLines().isEmpty());
    {
        MessageBoxAnswer answer(QMessageBox::Yes);
        QTest::mouseClick(form->btnDelete, Qt::LeftButton);
        EXPECT_TRUE(answer.shown());
    }
    EXPECT_EQ(db->tbModels()->rowCount(), count - 1);
    EXPECT_TRUE(stored("Name", index).isNull());
    EXPECT_EQ(db->CurrentModel().Name, next); // stands on the next model
    EXPECT_EQ(form->DBGrid1->currentIndex().row(), 2);
    EXPECT_EQ(logLines(), QStringList { QStringLiteral("delete model") });
}

// What the operator saw in the editor is what the table holds once the
// editor is gone, however it went.
TEST_F(ModelsEditorTest, EditIsStoredWhenTheEditorCloses)
{
    QLineEdit *maxCO = form->DBEdit[12];
    struct Case
    {
        const char *how;
        std::function<void()> close;
        const char *typed;
        double stored;
    };
    const Case cases[] = {
        { "Закрыть", [&] { QTest::mouseClick(form->btnClose, Qt::LeftButton); }, "2,7", 2.7 },
        { "Escape",
            [&] {
                form->DBGrid1->setFocus();
                QTest::keyClick(form->DBGrid1, Qt::Key_Escape);
            },
            "2,6", 2.6 },
        { "close box", [&] { form->close(); }, "2,4", 2.4 },
        // The program ends while the editor still shows the typed value.
        { "program end", [&] { EXPECT_TRUE(form->postPendingEdits()); }, "2,3", 2.3 },
    };
    const int index = db->CurrentModel().Index;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.how);
        if (!form->isVisible()) {
            form->show();
            QApplication::setActiveWindow(form.get());
        }
        typeInto(maxCO, QString::fromUtf8(c.typed));
        c.close();
        EXPECT_EQ(form->isVisible(), QByteArray(c.how) == "program end");
        EXPECT_EQ(stored("MaxCO", index).toDouble(), c.stored);
        EXPECT_FLOAT_EQ(db->CurrentModel().limits.MaxCO, float(c.stored));
        EXPECT_FALSE(db->tbModels()->isModified());
    }
    EXPECT_TRUE(form->isVisible()); // postPendingEdits() alone does not close the editor
}

TEST_F(ModelsEditorTest, ValueThatCannotBeStoredKeepsTheEditorOpenWithTheMessage)
{
    const int index = db->CurrentModel().Index;
    {
        MessageBoxAnswer answer(QMessageBox::Ok);
        typeInto(form->DBEdit[12], QStringLiteral("2,7x"));
        QTest::mouseClick(form->btnClose, Qt::LeftButton);
        EXPECT_TRUE(QTest::qWaitFor([&] { return answer.shown(); }, 5000));
        EXPECT_EQ(answer.text, QStringLiteral("'2,7x' is not a valid floating point value"));
        EXPECT_EQ(answer.icon, QMessageBox::Warning);
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->DBEdit[12]->text(), QStringLiteral("2,7x")); // what was typed stays for mending
    EXPECT_EQ(stored("MaxCO", index).toDouble(), 2.0);

    typeInto(form->DBEdit[12], QStringLiteral("2,7"));
    QTest::mouseClick(form->btnClose, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(stored("MaxCO", index).toDouble(), 2.7);
}

TEST_F(ModelsEditorTest, ClosingWhileAddingStoresATypedModelAndDropsAnUntouchedOne)
{
    QTest::mouseClick(form->btnAdd, Qt::LeftButton);
    QTest::mouseClick(form->btnClose, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(column(QStringLiteral("SELECT count(*) FROM \"models.DB\"")), QVariantList { count });

    form->show();
    EXPECT_FALSE(form->isAdding());
    EXPECT_TRUE(form->btnAdd->isEnabled());
    QTest::mouseClick(form->btnAdd, Qt::LeftButton);
    typeInto(form->DBEdit[3], QStringLiteral("820"));
    QTest::mouseClick(form->btnClose, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_FALSE(form->isAdding());
    EXPECT_EQ(
        column(QStringLiteral("SELECT MinTax FROM \"models.DB\" ORDER BY \"Index\" DESC LIMIT 1")),
        QVariantList { 820.0 });
    EXPECT_EQ(
        column(QStringLiteral("SELECT count(*) FROM \"models.DB\"")), QVariantList { count + 1 });
}

TEST_F(ModelsEditorTest, EscapeInAnEditTakesBackWhatWasTyped)
{
    const int index = db->CurrentModel().Index;
    typeInto(form->DBEdit[12], QStringLiteral("2,6"));
    QTest::keyClick(form->DBEdit[12], Qt::Key_Escape);
    EXPECT_TRUE(form->isVisible());
    EXPECT_EQ(form->DBEdit[12]->text(), QStringLiteral("2"));
    QTest::mouseClick(form->btnClose, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(stored("MaxCO", index).toDouble(), 2.0);
}

class ReadOnlyModelsEditorTest : public DatabasePermissionsTest
{
};

// A database that may only be read shows its models but takes no edit that
// could never be stored, so the editor always closes.
TEST_F(ReadOnlyModelsEditorTest, ShowsTheModelsWithoutEditingAndGreysOutChangesWithTheReason)
{
    ASSERT_EQ(chmod(encoded(dbPath()), 0444), 0);
    AsOrdinaryUser user;
    if (!user.active())
        GTEST_SKIP() << "cannot drop root rights";
    ASSERT_TRUE(openReporting().startsWith(QStringLiteral("read-only: ")));
    TFormModels form(db.get());
    form.show();
    QApplication::setActiveWindow(&form);
    EXPECT_EQ(form.DBEdit[5]->text(), QStringLiteral("3.5"));
    EXPECT_TRUE(form.DBEdit[5]->isReadOnly());
    EXPECT_EQ(form.DBGrid1->editTriggers(), QAbstractItemView::NoEditTriggers);
    // What would change a model is greyed out and says why.
    for (QPushButton *button : { form.btnAdd, form.btnEdit, form.btnDelete }) {
        EXPECT_FALSE(button->isEnabled());
        EXPECT_EQ(button->toolTip(), db->readOnlyReason());
    }
    QTest::mouseClick(form.btnAdd, Qt::LeftButton);
    EXPECT_FALSE(form.isAdding());
    QTest::mouseClick(form.btnClose, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    db.reset();
    EXPECT_EQ(dbFolderEntries(), QStringList { QStringLiteral("zelmor.sqlite") });
}

} // namespace
