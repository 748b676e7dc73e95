#include "database_fixture.h"
#include "database_message_box_answer.h"

#include "common/FormatSettings.h"
#include "database/TableCursor.h"
#include "database/ui/TFormSelectCar.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

namespace {

class SelectCarTest : public DatabaseFixture
{
protected:
    void SetUp() override
    {
        DatabaseFixture::SetUp();
        openDb();
        clearLog();
        form = std::make_unique<TFormSelectCar>(db.get());
    }
    void TearDown() override
    {
        form.reset();
        DatabaseFixture::TearDown();
    }

    void type(QWidget *w, const QString &text)
    {
        for (QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }

    std::unique_ptr<TFormSelectCar> form;
};

TEST_F(SelectCarTest, ConfirmHandsBackTheChosenModelAndTheNumberInUpperCase)
{
    QSignalSpy selected(form.get(), &TFormSelectCar::vehicleSelected);
    QSignalSpy closed(form.get(), &TFormSelectCar::formClosed);
    form->show();
    EXPECT_EQ(form->cboxModel->currentIndex(), -1); // empty until a first choice
    EXPECT_TRUE(form->edGosNom->text().isEmpty());

    form->cboxModel->setCurrentIndex(2);
    emit form->cboxModel->activated(2);
    EXPECT_EQ(db->tbModels()->currentRow(), 2);
    const ModelRecord chosen = db->CurrentModel();

    type(form->edGosNom, QStringLiteral("а123вс 77rus"));
    QTest::mouseClick(form->btnOK, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    ASSERT_EQ(selected.size(), 1);
    ASSERT_EQ(closed.size(), 1);

    const SelectedVehicle v = form->selectedVehicle();
    EXPECT_EQ(v.govNumber, QStringLiteral("А123ВС 77RUS"));
    EXPECT_EQ(v.modelIndex, chosen.Index);
    EXPECT_EQ(v.modelName, chosen.Name);
    EXPECT_EQ(v.limits.MinCO, chosen.limits.MinCO);
    EXPECT_EQ(v.limits.MaxTax, chosen.limits.MaxTax);
    EXPECT_EQ(logLines(), QStringList { QStringLiteral("start measure") });

    // The editor moving the cursor afterwards does not change the tested model.
    db->tbModels()->first();
    EXPECT_EQ(form->selectedVehicle().modelIndex, chosen.Index);

    // Next opening: the number is cleared, the list shows where the cursor now stands.
    form->show();
    EXPECT_TRUE(form->edGosNom->text().isEmpty());
    EXPECT_EQ(form->cboxModel->currentText(), db->CurrentModel().Name);
}

TEST_F(SelectCarTest, ConfirmWithoutTouchingTheListTakesTheModelTheTableStandsOn)
{
    db->tbModels()->setCurrentRow(1);
    form->show();
    type(form->edGosNom, QStringLiteral("x1"));
    QTest::mouseClick(form->btnOK, Qt::LeftButton);
    EXPECT_EQ(form->selectedVehicle().modelIndex, db->modelByIndex(2).Index);
    EXPECT_EQ(form->selectedVehicle().govNumber, QStringLiteral("X1"));
}

TEST_F(SelectCarTest, EmptyNumberIsRefusedAndTheDialogStaysOpen)
{
    QSignalSpy selected(form.get(), &TFormSelectCar::vehicleSelected);
    form->show();
    MessageBoxAnswer answer(QMessageBox::Ok);
    QTest::mouseClick(form->btnOK, Qt::LeftButton);
    EXPECT_TRUE(answer.shown());
    EXPECT_EQ(answer.text, QStringLiteral("Введите гос. номер автомобиля."));
    EXPECT_EQ(answer.title, QStringLiteral("Сообщение"));
    EXPECT_EQ(answer.buttons, QMessageBox::Ok);
    EXPECT_EQ(answer.icon, QMessageBox::Information);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(selected.isEmpty());
    EXPECT_TRUE(logLines().isEmpty());
}

TEST_F(SelectCarTest, CancelClosesWithoutSelecting)
{
    QSignalSpy selected(form.get(), &TFormSelectCar::vehicleSelected);
    QSignalSpy cancelled(form.get(), &TFormSelectCar::selectionCancelled);
    QSignalSpy shown(form.get(), &TFormSelectCar::formShown);
    QSignalSpy closed(form.get(), &TFormSelectCar::formClosed);
    form->show();
    type(form->edGosNom, QStringLiteral("A1"));
    QTest::mouseClick(form->btnCancel, Qt::LeftButton);
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(form->result(), QDialog::Rejected);
    EXPECT_EQ(shown.size(), 1);
    EXPECT_EQ(cancelled.size(), 1);
    EXPECT_EQ(closed.size(), 1);
    EXPECT_TRUE(selected.isEmpty());
    EXPECT_TRUE(logLines().isEmpty());
}

// The model the list shows is the model the test is judged against and
// stored with, whoever moved the shared cursor last.
TEST_F(SelectCarTest, ListAndSharedCursorMoveTogether)
{
    QSignalSpy selected(form.get(), &TFormSelectCar::vehicleSelected);
    form->show();
    QApplication::setActiveWindow(form.get());

    // Chosen here with the arrow keys: the cursor follows the list.
    form->cboxModel->setFocus();
    QTest::keyClick(form->cboxModel, Qt::Key_Down);
    QTest::keyClick(form->cboxModel, Qt::Key_Down);
    ASSERT_GE(form->cboxModel->currentIndex(), 0);
    EXPECT_EQ(db->CurrentModel().Name, form->cboxModel->currentText());
    EXPECT_EQ(db->tbModels()->currentRow(), form->cboxModel->currentIndex());
    form->reject();

    // Chosen elsewhere (the editor's grid, the report filter) while the
    // dialog is closed or open: the list follows the cursor.
    for (int row : { 3, 0, 2 }) {
        SCOPED_TRACE(row);
        db->tbModels()->setCurrentRow(row);
        if (!form->isVisible())
            form->show();
        EXPECT_EQ(form->cboxModel->currentIndex(), row);
        EXPECT_EQ(form->cboxModel->currentText(), db->CurrentModel().Name);
    }

    const QString shown = form->cboxModel->currentText();
    type(form->edGosNom, QStringLiteral("A1"));
    QTest::mouseClick(form->btnOK, Qt::LeftButton);
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(form->selectedVehicle().modelName, shown);
    EXPECT_EQ(form->selectedVehicle().modelIndex, db->CurrentModel().Index);
}

TEST_F(SelectCarTest, ConfirmIsRefusedUntilAModelIsVisiblyChosen)
{
    QSignalSpy selected(form.get(), &TFormSelectCar::vehicleSelected);
    form->show(); // after start: the cursor stands where opening put it, the list is blank
    ASSERT_EQ(form->cboxModel->currentIndex(), -1);
    type(form->edGosNom, QStringLiteral("A1"));
    {
        MessageBoxAnswer answer(QMessageBox::Ok);
        QTest::mouseClick(form->btnOK, Qt::LeftButton);
        EXPECT_TRUE(answer.shown());
        EXPECT_EQ(answer.text, QStringLiteral("Выберите модель автомобиля."));
        EXPECT_EQ(answer.title, QStringLiteral("Сообщение"));
        EXPECT_EQ(answer.icon, QMessageBox::Warning);
    }
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(selected.isEmpty());
    EXPECT_TRUE(logLines().isEmpty());

    // Choosing the first model, where the cursor already stood, is a choice too.
    form->cboxModel->setCurrentIndex(0);
    emit form->cboxModel->activated(0);
    QTest::mouseClick(form->btnOK, Qt::LeftButton);
    ASSERT_EQ(selected.size(), 1);
    EXPECT_EQ(form->selectedVehicle().modelName, form->cboxModel->itemText(0));
    EXPECT_EQ(logLines(), QStringList { QStringLiteral("start measure") });
}

} // namespace
