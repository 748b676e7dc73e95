#include "DatabaseFixture.h"
#include "MessageBoxAnswer.h"

#include "common/FormatSettings.h"
#include "database/TableCursor.h"
#include "database/ui/TFormModels.h"

#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>

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
    QTRY_VERIFY_WITH_TIMEOUT(answer.shown(), 5000);
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

} // namespace
